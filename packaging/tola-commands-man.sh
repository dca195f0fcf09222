#!/usr/bin/env bash
# Writes a help2man include file with a COMMANDS section: each command of `tola --help` with its own
# `tola COMMAND --help`, so `man tola` explains every command the program has.
set -euo pipefail
tola=${1:?usage: tola-commands-man.sh TOLA OUTPUT}
output=${2:?usage: tola-commands-man.sh TOLA OUTPUT}

commands=$("$tola" --help | awk '/^[^ ]/ { inside = ($0 == "Commands:"); next }
                                 inside && /^  [a-z]/ { print $1 }')
[[ -n $commands ]] || { echo "tola-commands-man: no commands in tola --help" >&2; exit 1; }
{
  echo "[COMMANDS]"
  for command in $commands; do
    echo ".SS $command"
    echo ".nf"
    # Backslashes print as themselves; a leading dot or quote is text, not a request.
    "$tola" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
    echo ".fi"
  done
} >"$output.tmp"
mv "$output.tmp" "$output"
