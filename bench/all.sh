#!/bin/bash
# all.sh [BUILD]: every benchmark with a bound, one after the other on this
# machine, each printing its own figures; then one line each, within its
# bounds or not. Exits 0 when all are within. About 9 minutes (add 2 for the
# first build, which is left out unless FIRST_BUILD=1): run it on an idle
# machine, as other work on it moves every figure.
B=${1:-$(cd "$(dirname "$0")/../build" && pwd)}
HERE=$(cd "$(dirname "$0")" && pwd)
runs=(
  "$B/bench/bench_startup 10"
  "$B/bench/bench_connect_stream 60"
  "$B/bench/bench_network_link 10"
  "$B/bench/bench_gateway 30"
  "$B/bench/bench_upload"
  "$B/bench/bench_find_units"
  "$B/bench/bench_line_overview 30"
  "$B/bench/bench_cli_apply"
)
[ "${FIRST_BUILD:-0}" = 1 ] && runs+=("$HERE/first_build.sh 2")
verdicts=()
status=0
for r in "${runs[@]}"; do
  echo "=== ${r#"$B/"}"
  if $r; then
    verdicts+=("within bounds  ${r#"$B/"}")
  else
    verdicts+=("OUT OF BOUNDS  ${r#"$B/"}")
    status=1
  fi
done
echo "=== summary, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${verdicts[@]}"
exit $status
