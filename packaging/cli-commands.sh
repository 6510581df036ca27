#!/usr/bin/env bash
# cli-commands.sh DXU_CLI OUTPUT
# Writes a help2man include with a COMMANDS section: each command dxu-cli
# lists in its --help, with that command's own help (the options every
# command shares are in the page already).
set -euo pipefail
cli=$1
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk '/^  [a-z]/ { print $1 }')
[ -n "$commands" ] || { echo "cli-commands.sh: $cli --help lists no commands" >&2; exit 1; }
{
  echo "[COMMANDS]"
  for command in $commands; do
    echo ".SS $command"
    echo ".nf"
    "$cli" "$command" --help | sed -e '/^Options of every command:/,$d' \
      -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
    echo ".fi"
  done
} >"$2"
