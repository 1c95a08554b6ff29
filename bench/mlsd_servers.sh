#!/bin/bash
# Times harvex-cli (its default connections) beside rclone with 8 checkers on
# ProFTPD and Pure-FTPd over loopback, with the 101,110-entry tree bench_scan
# uses (four levels of ten folders, nine empty files in each of the deepest).
#
# Both servers conflict with the vsftpd package the tests need, so they are
# unpacked from Debian 12's packages into a temporary folder (apt-get
# download, dpkg -x) and run from there on 127.0.0.1, started as root and
# serving as the ftp account; nothing is installed.
#
# Usage: bench/mlsd_servers.sh [RUNS] (default 3), as root, from the project
# folder after a build. The last line is one JSON object: wall seconds per
# run for each server and client.
set -euo pipefail
RUNS=${1:-3}
CLI=${HARVEX_CLI:-$PWD/build/bin/harvex-cli}
[ -x "$CLI" ] || { echo "no $CLI: build first" >&2; exit 1; }
command -v rclone >/dev/null || { echo "rclone is needed" >&2; exit 1; }
W=$(mktemp -d /tmp/harvex-mlsd-XXXXXX)
chmod 755 "$W"
pids=()
cleanup() { for p in ${pids[@]+"${pids[@]}"}; do kill "$p" 2>/dev/null || true; done; rm -rf "$W"; }
trap cleanup EXIT

unpack() {
    "$(dirname "$0")/unpack_servers.sh" "$W"
}

make_tree() {
    /usr/bin/python3 - "$W/tree" <<'EOF'
import os, sys
def fill(path, depth):
    if depth == 4:
        for i in range(9):
            open(os.path.join(path, "file%d.dat" % i), "w").close()
        return
    for i in range(10):
        sub = os.path.join(path, "dir%d" % i)
        os.makedirs(sub)
        fill(sub, depth + 1)
fill(sys.argv[1], 0)
EOF
    chmod -R a+rX "$W/tree"
}

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

start_proftpd() {
    cat >"$W/proftpd.conf" <<EOF
ServerType standalone
DefaultServer on
Port $1
DefaultAddress 127.0.0.1
User nobody
Group nogroup
UseIPv6 off
WtmpLog off
ScoreboardFile $W/proftpd.scoreboard
PidFile $W/proftpd.pid
DelayTable none
MaxInstances 64
UseReverseDNS off
TransferLog none
SystemLog $W/proftpd.log
<Anonymous $W/tree>
  User ftp
  Group ftp
  UserAlias anonymous ftp
  RequireValidShell off
  MaxClients 64
</Anonymous>
EOF
    LD_LIBRARY_PATH=$(echo "$W"/root/usr/lib/*-linux-gnu) "$W/root/usr/sbin/proftpd" -n -c "$W/proftpd.conf" \
        >"$W/proftpd.out" 2>&1 &
    pids+=($!)
}

start_pureftpd() {
    # Any user name logs on, as the ftp account, into the tree.
    printf '#!/bin/sh\necho auth_ok:1\necho uid:%s\necho gid:%s\necho dir:%s\necho end\n' \
        "$(id -u ftp)" "$(id -g ftp)" "$W/tree" >"$W/auth.sh"
    chmod +x "$W/auth.sh"
    "$W/root/usr/sbin/pure-authd" -s "$W/authd.sock" -r "$W/auth.sh" >"$W/authd.out" 2>&1 &
    pids+=($!)
    sleep 0.5
    "$W/root/usr/sbin/pure-ftpd" -S "127.0.0.1,$1" -l "extauth:$W/authd.sock" -E -c 64 -C 64 -H -A \
        >"$W/pure.out" 2>&1 &
    pids+=($!)
}

wait_for_port() {
    for _ in $(seq 50); do
        /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null && return
        sleep 0.1
    done
    echo "nothing answers on port $1" >&2
    exit 1
}

# Prints wall seconds; fails when the catalogue misses an entry.
time_harvex() {
    local data; data=$(mktemp -d "$W/data-XXXX")
    local start end
    start=$(date +%s.%N)
    echo "x@" | "$CLI" --data "$data" scan "127.0.0.1:$1" --user "$2" --password-stdin >"$data/out" 2>&1
    end=$(date +%s.%N)
    grep -q "^101110 entries in 11111 folders; 0 folders could not be listed" "$data/out" \
        || { cat "$data/out" >&2; exit 1; }
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'
}

time_rclone() {
    local pass start end
    pass=$(rclone obscure x@)
    start=$(date +%s.%N)
    RCLONE_CONFIG=/dev/null rclone lsf -R --checkers 8 ":ftp,host=127.0.0.1,port=$1,user=$2,pass=$pass:" \
        >"$W/rclone.out" 2>/dev/null
    end=$(date +%s.%N)
    [ "$(wc -l <"$W/rclone.out")" = 101110 ] || { echo "rclone listed $(wc -l <"$W/rclone.out")" >&2; exit 1; }
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'
}

id ftp >/dev/null || { echo "the ftp account is needed (the vsftpd package makes it)" >&2; exit 1; }
unpack
make_tree
PRO=$(free_port); start_proftpd "$PRO"; wait_for_port "$PRO"
PURE=$(free_port); start_pureftpd "$PURE"; wait_for_port "$PURE"
declare -A runs
for ((i = 1; i <= RUNS; i++)); do
    for server in proftpd pureftpd; do
        if [ $server = proftpd ]; then port=$PRO user=anonymous; else port=$PURE user=bench; fi
        h=$(time_harvex $port $user); r=$(time_rclone $port $user)
        echo "run $i $server: harvex ${h} s, rclone 8 checkers ${r} s"
        runs[$server-harvex]+="${runs[$server-harvex]:+, }$h"
        runs[$server-rclone8]+="${runs[$server-rclone8]:+, }$r"
    done
done
printf '{"proftpd_harvex_s": [%s], "proftpd_rclone8_s": [%s], "pureftpd_harvex_s": [%s], "pureftpd_rclone8_s": [%s]}\n' \
    "${runs[proftpd-harvex]}" "${runs[proftpd-rclone8]}" "${runs[pureftpd-harvex]}" "${runs[pureftpd-rclone8]}"
