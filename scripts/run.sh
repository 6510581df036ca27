#!/usr/bin/env bash
# Starts DXU Interface from the build folder given as $1.
set -euo pipefail
build=${1:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
DXU Interface is a desktop program and needs a display, but neither DISPLAY nor
WAYLAND_DISPLAY is set. Run it from a desktop session, or give it a virtual one:
    sudo apt-get install xvfb && Xvfb :99 & DISPLAY=:99 make run
MSG
  exit 1
fi
exec "$build/src/dxu-interface"
