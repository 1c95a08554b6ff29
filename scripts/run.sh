#!/usr/bin/env bash
# The main job: build, then scan a host into the catalogue and show what was
# found. With no host given, a local FTP server is started on 127.0.0.1 over
# a small generated sample tree and scanned; with HOST[:PORT] given, that
# host is scanned (anonymously; set HARVEX_USER and pipe a password in for
# others). When a display is available the desktop program then opens on the
# same catalogue.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cli=build/bin/harvex-cli
host="${1:-}"
server_pid=""

stop_server() { [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true; }
trap stop_server EXIT

make_sample_tree() {
  local root=build/sample-tree
  rm -rf "$root"
  mkdir -p "$root/pub/docs" "$root/pub/images" "$root/src/harvex/core" "$root/incoming" "$root/Документы" "$root/with space"
  printf 'Welcome to the sample server.\n' > "$root/README.txt"
  printf 'notes\n' > "$root/pub/docs/notes.txt"
  printf '%%PDF-1.4\n' > "$root/pub/docs/manual.pdf"
  truncate -s 5G "$root/pub/images/disk.iso"
  truncate -s 120K "$root/pub/images/photo.jpg"
  printf 'int main() { return 0; }\n' > "$root/src/harvex/core/main.c"
  printf 'all:\n' > "$root/src/Makefile"
  printf 'отчёт\n' > "$root/Документы/отчёт.txt"
  printf 'x\n' > "$root/with space/a file.doc"
  printf 'secret\n' > "$root/.hidden"
  chmod -R a+rX "$root"
  echo "$root"
}

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

start_local_server() {
  local root port
  root="$(cd "$(make_sample_tree)" && pwd)"
  port="$(free_port)"
  if [ "$(id -u)" -eq 0 ] && [ -x /usr/sbin/vsftpd ]; then
    mkdir -p build/vsftpd-empty
    cat > build/vsftpd.conf <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
anonymous_enable=YES
anon_root=$root
no_anon_password=YES
local_enable=NO
write_enable=NO
connect_from_port_20=NO
seccomp_sandbox=NO
background=NO
ftp_username=ftp
secure_chroot_dir=$PWD/build/vsftpd-empty
xferlog_enable=NO
CONF
    /usr/sbin/vsftpd build/vsftpd.conf >/dev/null 2>&1 &
  else
    /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$root" >/dev/null 2>&1 &
  fi
  server_pid=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  host="127.0.0.1:$port"
}

if [ -z "$host" ]; then
  start_local_server
  echo "Started a local FTP server on $host over build/sample-tree"
fi

scan_args=(scan "$host")
[ -n "${HARVEX_USER:-}" ] && scan_args+=(--user "$HARVEX_USER" --password-stdin)
status=0
"$cli" "${scan_args[@]}" || status=$?

echo; echo "== Hosts in the catalogue"; "$cli" hosts
echo; echo "== Folder tree of $host"; "$cli" tree "$host"
echo; echo "== Text files (find % --type txt)"; "$cli" find % --type txt --host "$host"

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo; echo "Opening the desktop program on the same catalogue (build/bin)."
  build/bin/harvex || true
fi
exit "$status"
