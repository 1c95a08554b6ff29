#!/usr/bin/env zsh
# usage: zsh_completion.zsh HARVEX_CLI COMPLETION_DIR
# Tab completion as an interactive zsh with compinit runs it, on a terminal
# of its own (zpty): each case types a line, presses Tab twice and looks for
# the words the completion must offer on the screen.
zmodload zsh/zpty || { print "skipped: zsh has no zpty module"; exit 77 }
cli=$1 dir=$2
data=$(mktemp -d)
trap 'rm -rf $data' EXIT
path=(${cli:h} $path)
for host in ftp.example.org files.example.net:2121; do
  $cli --data $data sql "INSERT INTO DB (Name, ext, Size, Host, Attr, LAC, ID, PID)
    VALUES ('pub', '<DIR>', 0, '$host', 16, 0, abs(random() % 1000000), 0)" >/dev/null 2>&1 ||
    { print "could not make the test catalogue"; exit 1 }
done

# The screen after typing $1 and two Tabs, without terminal controls.
screen() {
  local out= chunk i
  zpty z zsh -f -i
  zpty -w z "PS1='%% '; fpath=($dir \$fpath); autoload -Uz compinit; compinit -u -D"
  zpty -w z "zstyle ':completion:*' menu no; zstyle ':completion:*' list-prompt ''"
  # Keys are read in turn: this one's message shows once both Tabs are done.
  zpty -w z "shown() { zle -M END''SHOWN }; zle -N shown; bindkey '^X' shown; print RE''ADY"
  zpty -w -n z "$1"$'\t\t\C-x'
  for i in {1..300}; do
    while zpty -r -t z chunk; do out+=$chunk; done
    [[ $out == *READY*ENDSHOWN* ]] && break
    sleep 0.1
  done
  zpty -d z
  out=${${out##*READY}%%ENDSHOWN*}
  REPLY=$(print -r -- $out | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g; s/\x1b[=>]//g' | tr -d '\r\a\b')
}

failures=0
check() {
  local line=$1 want; shift
  screen $line
  for want in $@; do
    [[ $REPLY == *$want* ]] || { print -r "FAIL: \"$line\" does not show \"$want\":"; print -r -- $REPLY; ((failures++)) }
  done
}

check "harvex-cli sc" "harvex-cli scan"
check "harvex-cli " scan find dupes hosts changes recode copy rescan
check "harvex-cli scan --pa" --passive --password-stdin
check "harvex-cli scan --tls " require try off
check "harvex-cli --data $data tree f" ftp.example.org files.example.net:2121
check "harvex-cli --data $data find x --host ft" "--host ftp.example.org"
check "harvex-cli dupes --by " "name,size" size
((failures)) && { print "$failures failed"; exit 1 }
print "all completions offered"
