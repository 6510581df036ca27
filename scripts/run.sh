#!/usr/bin/env bash
# Starts DXU Interface from the build folder given as $1 against the simulated
# unit dxu-sim, and stops the simulator when the program ends.
#
# The simulator serves on a pseudo-terminal. For this run only, "COM1" and the
# COM ports that the stored configuration uses for RS-232 and RS-485 lead to it
# (DXU_COM<n>); the stored port map itself is left as it is. What the
# simulated unit saves with "Save Settings" is kept in
#   ${XDG_STATE_HOME:-~/.local/state}/dxu-sim/unit.state
# With a real unit, start build/src/dxu-interface on its own instead.
set -euo pipefail
build=${1:-build}
program="$build/src/dxu-interface"
sim="$build/tools/dxu-sim/dxu-sim"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
DXU Interface is a desktop program and needs a display, but neither DISPLAY nor
WAYLAND_DISPLAY is set. Run it from a desktop session, or give it a virtual one:
    sudo apt-get install xvfb && Xvfb :99 & DISPLAY=:99 make run
MSG
  exit 1
fi
for f in "$program" "$sim"; do
  if [ ! -x "$f" ]; then
    echo "run.sh: $f is missing; build first (make)." >&2
    exit 1
  fi
done

state_dir="${XDG_STATE_HOME:-$HOME/.local/state}/dxu-sim"
mkdir -p "$state_dir"

# The stored port numbers (0-based) of the two links, from the program's
# settings file; absent values are COM1.
config="${XDG_CONFIG_HOME:-$HOME/.config}/Vez/DXU Interface.conf"
stored_port() {
  local v=""
  if [ -f "$config" ]; then
    v=$(sed -n "s/^$1=\([0-9]\+\)\r\?$/\1/p" "$config" | head -n 1)
  fi
  echo "${v:-0}"
}

coproc SIM { exec "$sim" --env 1 --state "$state_dir/unit.state"; }
sim_pid=$SIM_PID
stop_sim() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

line=""
if ! read -r -t 10 line <&"${SIM[0]}" || [ "${line%%=*}" != "DXU_COM1" ]; then
  echo "run.sh: dxu-sim did not start." >&2
  exit 1
fi
device=${line#*=}
export DXU_COM1="$device"
for name in Port232 Port485; do
  n=$(( $(stored_port "$name") + 1 ))
  export "DXU_COM$n=$device"
done
echo "dxu-sim serves a simulated unit on $device (COM1, and the stored RS-232/RS-485 ports)."

status=0
"$program" || status=$?
exit "$status"
