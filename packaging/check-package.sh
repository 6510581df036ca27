#!/usr/bin/env bash
# check-package.sh BUILD_DIR VERSION
# Builds the Debian packages from what BUILD_DIR has built, into a scratch
# folder of its own, and checks them: lintian finds no error in either, the
# command-line package needs no graphics library, the window's package stands
# on the command-line package of the same version, the menu entry and the
# AppStream metadata pass their validators, the files are where a desktop
# looks for them, and the unpacked programs run and tell the version.
set -euo pipefail
build=$1
version=$2
scratch=$build/package-check
rm -rf "$scratch"
mkdir -p "$scratch"

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

step "cpack"
cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 \
  || { cat "$scratch/cpack.log"; fail "cpack did not build the packages"; }
declare -A deb
for package in dxu-cli dxu-interface; do
  debs=("$scratch/${package}_${version}"_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single ${package}_${version}_<arch>.deb in $scratch"
  deb[$package]=${debs[0]}
  echo "${debs[0]}"
done

step "control fields"
declare -A depends
for package in dxu-cli dxu-interface; do
  [ "$(dpkg-deb -f "${deb[$package]}" Version)" = "$version" ] || fail "$package's version is not $version"
  depends[$package]=$(dpkg-deb -f "${deb[$package]}" Depends)
  echo "$package Depends: ${depends[$package]}"
  # Qt loads the journal's SQLite driver by name: dpkg-shlibdeps cannot see it.
  [[ ${depends[$package]} == *libqt6sql6-sqlite* && ${depends[$package]} == *libqt6core6* \
     && ${depends[$package]} == *libc6* ]] || fail "$package's Depends lacks the SQLite driver or what dpkg-shlibdeps finds"
done
[[ ${depends[dxu-cli]} == *libmodbus5* ]] || fail "dxu-cli's Depends lacks libmodbus5"
# A gateway has no desktop: nothing that draws.
if grep -E -o 'libqt6(gui|widgets|opengl)[^ ,]*|libx[a-z0-9-]*|libgl[a-z0-9-]*|libegl[a-z0-9-]*|libwayland[a-z0-9-]*' \
     <<<"${depends[dxu-cli]}"; then
  fail "dxu-cli depends on a graphics library"
fi
[[ ${depends[dxu-interface]} == *"dxu-cli (= $version)"* && ${depends[dxu-interface]} == *libqt6widgets6* ]] \
  || fail "dxu-interface does not depend on dxu-cli (= $version) and the widgets"

step "nothing that widens access on its own"
# No maintainer scripts, no udev rules, no groups, no set-id files: access to
# serial devices stays the administrator's choice (see the README).
for package in dxu-cli dxu-interface; do
  control=$(dpkg-deb --ctrl-tarfile "${deb[$package]}" | tar -t | sed 's|^\./||' | grep -v -x -e '' -e control -e md5sums || true)
  [ -z "$control" ] || fail "$package has maintainer scripts or other control files: $control"
  if dpkg-deb -c "${deb[$package]}" | grep -E '^[^ ]*[sS]|/udev/|/etc/|/sysusers\.d/|/tmpfiles\.d/'; then
    fail "$package holds set-id files, udev rules or system configuration"
  fi
done

step "lintian"
lintian --fail-on error --tag-display-limit 0 "${deb[dxu-cli]}" "${deb[dxu-interface]}" || fail "lintian reports errors"

step "unpack"
# Each package on its own, so that a file in the wrong package shows.
declare -A files
files[dxu-cli]="usr/bin/dxu-cli usr/bin/dxu-sim
  usr/share/man/man1/dxu-cli.1.gz usr/share/man/man1/dxu-sim.1.gz
  usr/share/doc/dxu-cli/copyright usr/share/doc/dxu-cli/changelog.gz usr/share/doc/dxu-cli/README.md.gz
  lib/systemd/system/dxu-gateway@.service usr/share/doc/dxu-cli/examples/dxu-gateway.conf"
files[dxu-interface]="usr/bin/dxu-interface
  usr/share/applications/dxu-interface.desktop
  usr/share/metainfo/com.vez.dxuinterface.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/dxu-interface.svg
  usr/share/icons/hicolor/48x48/apps/dxu-interface.png
  usr/share/icons/hicolor/256x256/apps/dxu-interface.png
  usr/share/man/man1/dxu-interface.1.gz
  usr/share/doc/dxu-interface/copyright usr/share/doc/dxu-interface/changelog.gz"
for package in dxu-cli dxu-interface; do
  dpkg-deb -x "${deb[$package]}" "$scratch/$package"
  for f in ${files[$package]}; do
    [ -e "$scratch/$package/$f" ] || fail "$package lacks /$f"
  done
done
# Both unpacked into one tree, as they are installed.
root=$scratch/root
for package in dxu-cli dxu-interface; do dpkg-deb -x "${deb[$package]}" "$root"; done

step "desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/dxu-interface.desktop" || fail "the menu entry is not valid"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/dxu-interface.desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the menu entry starts '$exec_line', which the package does not hold"

step "appstreamcli validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.vez.dxuinterface.metainfo.xml" \
  || fail "the AppStream metadata is not valid"

step "the unpacked programs"
for program in dxu-interface dxu-cli dxu-sim; do
  got=$("$root/usr/bin/$program" --version)
  [ "$got" = "$program $version" ] || fail "$program --version says '$got', not '$program $version'"
  echo "$got"
done
# Each output is taken whole before it is searched: grep -q stops reading at
# the first match, and the writer's broken pipe would fail the pipeline.
help=$("$root/usr/bin/dxu-sim" --help) || fail "dxu-sim --help failed"
grep -q -- '--units' <<<"$help" || fail "dxu-sim --help did not describe its options"
help=$("$root/usr/bin/dxu-cli" --help) || fail "dxu-cli --help failed"
grep -q 'measure' <<<"$help" || fail "dxu-cli --help did not describe its commands"

step "manual pages"
for page in dxu-interface dxu-cli dxu-sim; do
  text=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 | col -b)
  grep -q "^NAME" <<<"$text" && grep -q "$page" <<<"$text" || fail "man $page does not render"
done
text=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/dxu-cli.1.gz" 2>&1 | col -b)
grep -q "Usage: dxu-cli measure" <<<"$text" || fail "man dxu-cli lacks the help of its commands"
echo "ok"
