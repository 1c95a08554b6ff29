#!/bin/bash
# Unpacks ProFTPD and Pure-FTPd from Debian's packages into DIR (default
# /tmp/harvex-servers), for the benchmarks that time them. Both conflict
# with the vsftpd package the tests need, so nothing is installed: apt-get
# download and dpkg -x only. Quiet and quick when DIR already holds them.
set -euo pipefail
DIR=${1:-/tmp/harvex-servers}
[ -x "$DIR/root/usr/sbin/proftpd" ] && [ -x "$DIR/root/usr/sbin/pure-ftpd" ] && exit 0
mkdir -p "$DIR/debs" "$DIR/root"
chmod 777 "$DIR/debs" # apt-get downloads as its own account
(cd "$DIR/debs" && apt-get download -q proftpd-core libmemcached11 libmemcachedutil2 libhashkit2 \
    libpcre2-posix3 libhiredis0.14 pure-ftpd >/dev/null)
for f in "$DIR"/debs/*.deb; do dpkg -x "$f" "$DIR/root"; done
