#!/usr/bin/env bash
# check-service.sh UNIT DXU_CLI
# systemd-analyze verify on the gateway's unit, with its ExecStart pointing at
# the dxu-cli just built (verify wants the program to exist) and without the
# manual-page check (the package's own test renders man dxu-cli). verify only
# warns about a value it cannot parse, so any word from it is a failure.
set -euo pipefail
unit=$1
cli=$2
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
