#!/usr/bin/env bash
# clean-root-test.sh DIR
# Installs the packages in DIR (dxu-cli_<version>_<arch>.deb and
# dxu-interface_<version>_<arch>.deb) into a minimal Debian bookworm root made
# by mmdebstrap, as a machine that has nothing else would get them:
#   1. dxu-cli alone, which brings no graphics library; dxu-cli reads a
#      dxu-sim unit, applies a changed setup to it and lists the change in
#      its journal;
#   2. without Qt's SQLite driver the journal cannot be opened, and
#      dxu-cli history says why and exits 1;
#   3. both packages: the window starts on the offscreen platform and keeps
#      running, and the plugins Qt loads by name find their libraries;
#   4. removing dxu-cli removes the window's package with it.
# Needs root and mmdebstrap, and the Debian mirror of the host's apt sources;
# without one of them it says which and ends with 77 (skipped).
# Everything it makes stays in DIR/clean-root; the root is removed at the end.
set -euo pipefail

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "== [$(($(date +%s) - DXU_CLEAN_ROOT_START))s] $*"; }

# The graphics libraries a gateway must not need, as bookworm names them.
graphics=(libqt6gui6 libqt6widgets6 libqt6opengl6 libx11-6 libxcb1 libgl1 libegl1 libwayland-client0)

if [ "${1:-}" = --inside ]; then
  # Run by mmdebstrap once the root is made (its customize hook): $2 is the
  # root, with /proc, /sys and /dev (a pseudo-terminal multiplexer included)
  # mounted, and apt's package lists still in place.
  root=$2
  env=(/usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
       DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/run/user/0)
  in_root() { chroot "$root" "${env[@]}" "$@"; }
  installed() { in_root dpkg-query -W -f='${Package} ${db:Status-Status}\n' | awk '$2 == "installed" { print $1 }'; }
  mkdir -p "$root/tmp/debs" "$root/run/user/0"
  chmod 700 "$root/run/user/0"
  cp "$DXU_CLEAN_ROOT_CLI" "$DXU_CLEAN_ROOT_WINDOW" "$root/tmp/debs/"
  cli=/tmp/debs/$(basename "$DXU_CLEAN_ROOT_CLI")
  window=/tmp/debs/$(basename "$DXU_CLEAN_ROOT_WINDOW")

  step "dxu-cli alone"
  in_root apt-get install -y -q --no-install-recommends "$cli" >"$root/tmp/apt-cli.log" 2>&1 \
    || { cat "$root/tmp/apt-cli.log"; fail "apt-get could not install dxu-cli"; }
  brought=$(grep -c '^Setting up ' "$root/tmp/apt-cli.log" || true)
  echo "apt set up $brought packages"
  drawn=$(installed | grep -x -F "${graphics[@]/#/-e}" || true)
  [ -z "$drawn" ] || fail "dxu-cli brought graphics libraries: ${drawn//$'\n'/ }"
  for program in dxu-cli dxu-sim; do
    got=$(in_root "$program" --version) || fail "$program --version failed"
    echo "$got"
  done
  [ ! -e "$root/usr/bin/dxu-interface" ] || fail "dxu-cli holds the window program"

  # A unit on a pseudo-terminal in the root, stopped by its pid on any exit
  # (chroot and env exec it: the pid is dxu-sim's own).
  chroot "$root" "${env[@]}" dxu-sim >"$root/tmp/sim.out" 2>"$root/tmp/sim.err" &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -s "$root/tmp/sim.out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$root/tmp/sim.out")
  [ -n "$device" ] || { cat "$root/tmp/sim.err"; fail "dxu-sim did not start"; }
  echo "dxu-sim on $device"

  step "read, apply, history"
  in_root dxu-cli read --port "$device" --output /tmp/unit.dxu || fail "dxu-cli read"
  in_root dxu-cli show /tmp/unit.dxu >"$root/tmp/unit.txt" || fail "dxu-cli show"
  grep -q '^long_gate = 100.000 m$' "$root/tmp/unit.txt" || fail "the unit's long gate is not 100.000 m"
  sed 's/^long_gate = 100.000 m$/long_gate = 42.500 m/' "$root/tmp/unit.txt" >"$root/tmp/changed.txt"
  in_root dxu-cli import /tmp/changed.txt --base /tmp/unit.dxu --output /tmp/changed.dxu || fail "dxu-cli import"
  out=$(in_root dxu-cli apply /tmp/changed.dxu --port "$device") || fail "dxu-cli apply: $out"
  echo "$out"
  [[ $out == *"ok (1 setting changed, saved)"* ]] || fail "dxu-cli apply did not change one setting"
  out=$(in_root dxu-cli history) || fail "dxu-cli history: $out"
  echo "$out"
  grep -q 'Long Gate: 100.000 m -> 42.500 m  accepted' <<<"$out" || fail "the journal does not list the change"

  step "without Qt's SQLite driver"
  in_root dpkg --remove --force-depends libqt6sql6-sqlite >/dev/null 2>&1 || fail "libqt6sql6-sqlite would not go"
  status=0
  err=$(in_root dxu-cli history 2>&1 >/dev/null) || status=$?
  echo "history: exit $status: $err"
  [ $status -eq 1 ] && [[ $err == *"SQLite driver"* ]] || fail "dxu-cli history without the driver did not exit 1 naming it"
  in_root apt-get install -y -q --no-install-recommends libqt6sql6-sqlite >/dev/null 2>&1 \
    || fail "libqt6sql6-sqlite would not come back"
  in_root dxu-cli history >/dev/null || fail "dxu-cli history with the driver back"

  kill "$sim"
  wait "$sim" 2>/dev/null || true
  trap - EXIT

  step "both packages"
  in_root apt-get install -y -q --no-install-recommends "$cli" "$window" >"$root/tmp/apt-window.log" 2>&1 \
    || { cat "$root/tmp/apt-window.log"; fail "apt-get could not install dxu-interface"; }
  echo "apt set up $(grep -c '^Setting up ' "$root/tmp/apt-window.log" || true) more packages"
  in_root dxu-interface --version || fail "dxu-interface --version"
  # The platforms a desktop or a headless run uses, the journal's driver:
  # each plugin finds every library it needs.
  plugins=/usr/lib/x86_64-linux-gnu/qt6/plugins
  [ -d "$root$plugins" ] || plugins=$(cd "$root" && echo usr/lib/*/qt6/plugins | sed 's|^|/|')
  for plugin in platforms/libqxcb.so platforms/libqoffscreen.so sqldrivers/libqsqlite.so; do
    [ -e "$root$plugins/$plugin" ] || fail "no $plugins/$plugin in the root"
    missing=$(in_root ldd "$plugins/$plugin" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$plugin lacks: $missing"
  done
  # The window, started offscreen, is still running after three seconds.
  status=0
  in_root timeout 3 env QT_QPA_PLATFORM=offscreen dxu-interface >"$root/tmp/window.log" 2>&1 || status=$?
  cat "$root/tmp/window.log"
  [ $status -eq 124 ] || fail "dxu-interface ended by itself (exit $status) within three seconds"

  step "removing dxu-cli"
  in_root apt-get remove -y -q dxu-cli >/dev/null 2>&1 || fail "apt-get remove dxu-cli"
  left=$(installed | grep -x -e dxu-cli -e dxu-interface || true)
  [ -z "$left" ] || fail "still installed after removing dxu-cli: $left"
  for f in /usr/bin/dxu-cli /usr/bin/dxu-sim /usr/bin/dxu-interface; do
    [ ! -e "$root$f" ] || fail "$f is still there"
  done
  exit 0
fi

dir=${1:?usage: clean-root-test.sh DIR (the folder with the two packages)}
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: making a Debian root with mmdebstrap needs root"
  exit 77
fi
if ! command -v mmdebstrap >/dev/null; then
  echo "SKIPPED: mmdebstrap is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi
dir=$(cd "$dir" && pwd)
one_deb() {
  local debs=("$dir/$1"_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single $1_<version>_<arch>.deb in $dir"
  echo "${debs[0]}"
}
DXU_CLEAN_ROOT_CLI=$(one_deb dxu-cli)
DXU_CLEAN_ROOT_WINDOW=$(one_deb dxu-interface)
export DXU_CLEAN_ROOT_CLI DXU_CLEAN_ROOT_WINDOW
DXU_CLEAN_ROOT_START=$(date +%s)
export DXU_CLEAN_ROOT_START

scratch=$dir/clean-root
root=$scratch/root
# A root that a broken run left mounted is not removed blindly.
if findmnt -rn -o TARGET | grep -q -F "$root"; then
  fail "something is still mounted under $root; unmount it first"
fi
rm -rf "$scratch"
mkdir -p "$scratch/tmp"

# The host's own Debian sources (the same mirror), and the host's apt options
# for reaching it.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && grep -q -E '^[^#]*[[:space:]]bookworm([[:space:]]|$)' "$f" && sources+=("$f")
done
# The mirror those sources name (mmdebstrap's default without them) must
# answer: a machine that cannot reach one skips the test rather than fail it.
mirror=http://deb.debian.org/debian
if [ ${#sources[@]} -gt 0 ]; then
  mirror=$(for f in "${sources[@]}"; do
    case $f in
      *.sources) awk '/^[[:space:]]*#/ { next }
                      /^[[:space:]]*$/ { if (uris != "" && (" " suites " ") ~ / bookworm /) print uris; uris = suites = ""; next }
                      /^URIs:/ { sub(/^URIs:[[:space:]]*/, ""); uris = $0 }
                      /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
                      END { if (uris != "" && (" " suites " ") ~ / bookworm /) print uris }' "$f" ;;
      *) awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } if ($(i + 1) == "bookworm") print $i }' "$f" ;;
    esac
  done | awk 'NR == 1 { print $1 }')
  [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
else
  echo "note: no bookworm sources on this host; mmdebstrap's default mirror is used"
fi
if ! timeout 60 /usr/lib/apt/apt-helper download-file "${mirror%/}/dists/bookworm/InRelease" "$scratch/tmp/InRelease" \
     >"$scratch/tmp/mirror.log" 2>&1; then
  cat "$scratch/tmp/mirror.log"
  rm -rf "$scratch"
  echo "SKIPPED: the Debian mirror $mirror cannot be reached"
  exit 77
fi
aptopts=()
while IFS= read -r option; do
  aptopts+=(--aptopt="$option")
done < <(apt-config dump | grep -E '^Acquire::(https?::Proxy|Check-Valid-Until|Check-Date|Retries) ' || true)

step "mmdebstrap --variant=apt bookworm, sources: ${sources[*]:-default}"
status=0
# dpkg need not sync every file of a root that is thrown away.
TMPDIR=$scratch/tmp mmdebstrap --variant=apt --mode=root --format=directory --quiet \
  --dpkgopt=force-unsafe-io "${aptopts[@]}" \
  --customize-hook="\"$(cd "$(dirname "$0")" && pwd)/$(basename "$0")\" --inside \"\$1\"" \
  bookworm "$root" "${sources[@]}" || status=$?
if findmnt -rn -o TARGET | grep -q -F "$root"; then
  fail "mmdebstrap left something mounted under $root"
fi
step "removing the root"
rm -rf "$scratch"
[ $status -eq 0 ] || fail "the clean root (exit $status)"
step "ok"
