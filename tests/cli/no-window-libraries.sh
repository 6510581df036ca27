#!/bin/sh
# Passes when the program given loads no window-system, graphics or widget
# library (Qt Gui, Qt Widgets, Qt OpenGL, X11, xcb, GL, EGL) and holds none of
# the main window's code, so that it runs where no display is installed.
program=$1
libs=$(ldd "$program") || { echo "ldd cannot read $program"; exit 1; }
if ! printf '%s\n' "$libs" | grep -q 'libQt6Core'; then
    echo "ldd lists no libQt6Core for $program; is it the program meant?"
    printf '%s\n' "$libs"
    exit 1
fi
found=$(printf '%s\n' "$libs" | grep -E '\blib(Qt6Gui|Qt6Widgets|Qt6OpenGL|X11|xcb|GL|EGL|OpenGL)')
if [ -n "$found" ]; then
    echo "$program loads window libraries:"
    printf '%s\n' "$found"
    exit 1
fi
# Its own symbols must be there to tell (a stripped program would pass blind).
symbols=$(nm -C "$program" 2>/dev/null)
if ! printf '%s\n' "$symbols" | grep -q 'dxu::'; then
    echo "nm lists none of the program's own symbols in $program; cannot tell what it holds"
    exit 1
fi
if printf '%s\n' "$symbols" | grep -q 'dxu::TTopForm'; then
    echo "$program holds the main window's code (dxu::TTopForm)"
    exit 1
fi
echo "$program loads no window library"
