#!/usr/bin/env bash
# usage: bash_completion.sh HARVEX_CLI COMPLETION_FILE
# Tab completion as bash-completion runs it: each case is a command line with
# the cursor at its end and the words the completion must offer.
set -uo pipefail
cli=$1 file=$2
loader=/usr/share/bash-completion/bash_completion
[ -r "$loader" ] || { echo "skipped: bash-completion is not installed ($loader)"; exit 77; }
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
PATH=$(dirname "$cli"):$PATH
# Hosts with a port and a dot-name: COMP_WORDBREAKS splits on ':'.
for host in ftp.example.org files.example.net:2121; do
  "$cli" --data "$data" sql "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID)
    VALUES ('pub', '<DIR>', 0, '$host', 16, 0, abs(random() % 1000000), 0)" >/dev/null 2>&1 ||
    { echo "could not make the test catalogue"; exit 1; }
done
# shellcheck source=/dev/null
source "$loader"
# shellcheck source=/dev/null
source "$file"

failures=0
# check "LINE" WORD...: completing LINE offers every WORD (and with "=" first, only them).
check() {
  local line=$1; shift
  local only=0
  [ "${1-}" = "=" ] && { only=1; shift; }
  COMP_LINE=$line COMP_POINT=${#line}
  # bash splits words at ':' as well (COMP_WORDBREAKS); the completion joins them back.
  read -ra COMP_WORDS <<<"$(sed -E 's/:/ : /g' <<<"$line")"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _harvex_cli harvex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local want
  for want in "$@"; do
    printf '%s\n' "${COMPREPLY[@]}" | grep -qxF -- "$want" ||
      { echo "FAIL: \"$line\" does not offer \"$want\" (offers: ${COMPREPLY[*]})"; failures=$((failures + 1)); }
  done
  if ((only)) && ((${#COMPREPLY[@]} != $#)); then
    echo "FAIL: \"$line\" offers ${COMPREPLY[*]}, not only $*"; failures=$((failures + 1))
  fi
}

check "harvex-cli " scan find dupes sql tree path hosts changes recode copy
check "harvex-cli sc" = scan
check "harvex-cli --data $data tr" = tree
check "harvex-cli --" --data --db --format --help --version
check "harvex-cli scan --pa" = --parallel-hosts --passive --password-stdin
check "harvex-cli changes --r" = --run
check "harvex-cli scan --tls " = require try off
check "harvex-cli find x --fo" = --folders --format
check "harvex-cli find --format " tsv csv json urls
check "harvex-cli dupes --by " = name,size size
check "harvex-cli --data $data tree " = ftp.example.org files.example.net:2121
check "harvex-cli --data $data scan ftp" = ftp.example.org
check "harvex-cli --data $data changes files.example.net:" = 2121
check "harvex-cli --data $data find x --host f" = ftp.example.org files.example.net:2121
check "harvex-cli --data $data tree ftp.example.org " =
check "harvex-cli --data $data hosts " =
if ((failures)); then echo "$failures failed"; exit 1; fi
echo "all completions offered"
