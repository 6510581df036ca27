#!/usr/bin/env bash
# check-package.sh BUILD_DIR VERSION
# Builds the Debian package from what BUILD_DIR has built, into a scratch
# folder of its own, and checks it: lintian finds no error, the menu entry and
# the AppStream metadata pass their validators, the files are where a desktop
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
  || { cat "$scratch/cpack.log"; fail "cpack did not build the package"; }
debs=("$scratch"/dxu-interface_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single dxu-interface_${version}_<arch>.deb in $scratch"
deb=${debs[0]}
echo "$deb"

step "control fields"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* && $depends == *libc6* && $depends == *libmodbus5* ]] \
  || fail "Depends lacks what dpkg-shlibdeps finds"

step "nothing that widens access on its own"
# No maintainer scripts, no udev rules, no groups, no set-id files: access to
# serial devices stays the administrator's choice (see the README).
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v -x -e '' -e control -e md5sums || true)
[ -z "$control" ] || fail "the package has maintainer scripts or other control files: $control"
if dpkg-deb -c "$deb" | grep -E '^[^ ]*[sS]|/udev/|/etc/|/sysusers\.d/|/tmpfiles\.d/'; then
  fail "the package holds set-id files, udev rules or system configuration"
fi

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

step "unpack"
root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/dxu-interface usr/bin/dxu-cli usr/bin/dxu-sim \
         usr/share/applications/dxu-interface.desktop \
         usr/share/metainfo/com.vez.dxuinterface.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/dxu-interface.svg \
         usr/share/icons/hicolor/48x48/apps/dxu-interface.png \
         usr/share/icons/hicolor/256x256/apps/dxu-interface.png \
         usr/share/man/man1/dxu-interface.1.gz usr/share/man/man1/dxu-cli.1.gz usr/share/man/man1/dxu-sim.1.gz \
         usr/share/doc/dxu-interface/copyright usr/share/doc/dxu-interface/changelog.gz \
         usr/share/doc/dxu-interface/README.md.gz \
         lib/systemd/system/dxu-gateway@.service usr/share/doc/dxu-interface/examples/dxu-gateway.conf; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done

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
