#!/usr/bin/env bash
# check-service.sh UNIT DXU_CLI EXAMPLE
# systemd-analyze verify on the gateway's unit, with its ExecStart pointing at
# the dxu-cli just built (verify wants the program to exist) and without the
# manual-page check (the package's own test renders man dxu-cli). verify only
# warns about a value it cannot parse, so any word from it is a failure.
# Then every OPTIONS line of the example configuration, commented or not,
# starts dxu-cli serve, which is still serving two seconds later (bad options
# end it at once with status 2); its Modbus server on loopback instead.
set -euo pipefail
unit=$1
cli=$2
example=$3
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIPPED: systemd-analyze is not installed (scripts/install-deps.sh installs systemd)"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
name=$(basename "$unit")
sed "s|/usr/bin/dxu-cli|$cli|" "$unit" >"$scratch/$name"
grep -q "^ExecStart=$cli serve " "$scratch/$name" || { echo "FAILED: $name does not run $cli serve"; exit 1; }
status=0
out=$(cd "$scratch" && systemd-analyze verify --man=no "./$name" 2>&1) || status=$?
echo "$out"
if [ $status -ne 0 ] || [ -n "$out" ]; then
  echo "FAILED: systemd-analyze verify $name"
  exit 1
fi
echo "ok: systemd-analyze verify $name"

lines=$(sed -n 's/^#\{0,1\}OPTIONS=//p' "$example")
[ -n "$lines" ] || { echo "FAILED: $example has no OPTIONS line"; exit 1; }
while IFS= read -r options; do
  read -r -a words <<<"$options"
  for i in "${!words[@]}"; do
    [ "${words[$i]}" != --modbus ] || words[$((i + 1))]=tcp://127.0.0.1:0
  done
  status=0
  timeout 2 "$cli" serve "${words[@]}" >"$scratch/serve.log" 2>&1 </dev/null || status=$?
  if [ $status -ne 124 ]; then
    cat "$scratch/serve.log"
    echo "FAILED: dxu-cli serve $options ended with status $status"
    exit 1
  fi
  echo "ok: dxu-cli serve $options"
done <<<"$lines"
