#!/usr/bin/env bash
# The manual keeps up with the program: every subcommand that `ombrel
# --help` lists, and every long option that it and each subcommand's --help
# print, must be named in the manual's source. A new option fails here
# until it is documented there.
#   manual_test.sh OMBREL MANUAL_SOURCE
set -euo pipefail
ombrel=$1 manual=$2
missing=()
subcommands=$("$ombrel" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[ -n "$subcommands" ] || { echo "FAIL: ombrel --help lists no subcommands" >&2; exit 1; }
for command in "" $subcommands; do
  # shellcheck disable=SC2086 # no subcommand is no word at all
  help=$("$ombrel" $command --help)
  options=$(sed -n 's/^  \(-[A-Za-z0-9],\)\{0,1\}\(--[A-Za-z0-9][A-Za-z0-9-]*\).*/\2/p' <<<"$help")
  [ -n "$options" ] || { echo "FAIL: ombrel $command --help prints no options" >&2; exit 1; }
  for option in $options; do
    grep -q -- "\*$option\*" "$manual" || missing+=("ombrel ${command:+$command }$option")
  done
  if [ -n "$command" ]; then
    grep -q "^\*ombrel $command\*" "$manual" || missing+=("the subcommand $command")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: $manual does not document:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "the manual names all $(wc -w <<<"$subcommands") subcommands and every option of each"
