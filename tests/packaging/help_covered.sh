#!/usr/bin/env bash
# usage: help_covered.sh HARVEX_CLI FILE
# Every command and option harvex-cli's help names (harvex-cli --help and each
# harvex-cli COMMAND --help) appears in FILE: a manual page in roff, or a
# shell completion script. A new option fails here until it is documented.
set -euo pipefail
cli=$1 file=$2
help=$("$cli" --help)
commands=$(sed -nE 's/^  ([a-z]+)( .*)?$/\1/p' <<<"$help")
[ -n "$commands" ] || { echo "no commands found in harvex-cli --help"; exit 1; }
options=$( { echo "$help"; for c in $commands; do "$cli" "$c" --help; done; } |
           grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u)
# roff escapes a minus as \- and wraps words in font changes.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$file")
missing=()
for c in $commands; do
  # A command is a word of its own: "scan", not a part of "rescan".
  grep -qE -- "(^|[^a-z-])$c([^a-z-]|$)" <<<"$text" || missing+=("command $c")
done
for o in $options; do
  grep -qE -- "(^|[^a-z-])$o([^a-z-]|$)" <<<"$text" || missing+=("option $o")
done
if ((${#missing[@]})); then
  printf '%s does not name:\n' "$file"
  printf '  %s\n' "${missing[@]}"
  exit 1
fi
echo "$(wc -w <<<"$commands") commands and $(wc -w <<<"$options") options, all in $(basename "$file")"
