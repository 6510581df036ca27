#!/bin/bash
# first_build.sh [JOBS]: what the first make run of a fresh clone builds, from
# scratch and without ccache: a fresh configure of this source tree in a
# folder of its own, then the program and the simulator with JOBS (2) jobs.
# Prints the wall-clock seconds and the processor seconds of the build (the
# configure is not counted) and exits 0 when the build took at most 90 s.
# The build is only as fast as the cores it gets: run it on an idle machine.
set -e
JOBS=${1:-2}
SRC=$(cd "$(dirname "$0")/.." && pwd)
D=$(mktemp -d)
trap 'rm -rf "$D"' EXIT
export CCACHE_DISABLE=1
cmake -S "$SRC" -B "$D" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$D/configure.log" 2>&1 \
  || { cat "$D/configure.log"; exit 1; }
START=$(date +%s.%N)
/usr/bin/time -f "%U %S" -o "$D/cpu" cmake --build "$D" -j "$JOBS" --target program-and-simulator \
  > "$D/build.log" 2>&1 || { tail -30 "$D/build.log"; exit 1; }
END=$(date +%s.%N)
read -r USER SYS < "$D/cpu"
awk -v s="$START" -v e="$END" -v u="$USER" -v y="$SYS" -v j="$JOBS" -v l="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  w = e - s
  printf "first build of dxu-interface and dxu-sim, %d jobs, no ccache: %.0f s (processor %.0f s), bound 90 s\n", j, w, u + y
  printf "load average at the end: %s (other work on the machine slows the build)\n", l
  printf "%s\n", w <= 90 ? "within bounds" : "OUT OF BOUNDS"
  exit w <= 90 ? 0 : 1
}'
