#!/usr/bin/env bash
# usage: validate.sh desktop FILE | appstream FILE | units BUILD_DIR
# The desktop entry, the AppStream entry and the systemd user units, each
# through the validator its consumers use.
set -euo pipefail
kind=$1 target=$2
need() { command -v "$1" >/dev/null || { echo "skipped: $1 is missing (scripts/install-deps.sh installs it)"; exit 77; }; }
case $kind in
desktop)
  need desktop-file-validate
  out=$(desktop-file-validate "$target" 2>&1) || { echo "$out"; exit 1; }
  # Hints do not fail the command; they still say something is off.
  [ -z "$out" ] || { echo "$out"; exit 1; }
  echo "$(basename "$target"): valid" ;;
appstream)
  need appstreamcli
  # No network: the screenshot's address is checked for form only.
  appstreamcli validate --no-net --pedantic "$target" ;;
units)
  need systemd-analyze
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  # As cmake --install writes them, so ExecStart names a program that exists.
  cmake --install "$target" --prefix "$stage" >/dev/null
  dir=$stage/lib/systemd/user
  grep -qx "ExecStart=$stage/bin/harvex-cli rescan --older-than 1d" "$dir/harvex-rescan.service" ||
    { grep ExecStart "$dir/harvex-rescan.service"; exit 1; }
  grep -qx 'Persistent=true' "$dir/harvex-rescan.timer"
  grep -qx 'OnCalendar=daily' "$dir/harvex-rescan.timer"
  # --user wants a runtime folder; Documentation=man: is looked up with man.
  mkdir -m 700 "$stage/run"
  out=$(XDG_RUNTIME_DIR=$stage/run MANPATH=$stage/share/man \
        systemd-analyze verify --user "$dir/harvex-rescan.service" "$dir/harvex-rescan.timer" 2>&1) ||
    { echo "$out"; exit 1; }
  # verify exits 0 on some complaints; any line about our units is one.
  if grep -i 'harvex' <<<"$out"; then exit 1; fi
  echo "harvex-rescan.service and .timer: verified" ;;
*) echo "unknown kind $kind"; exit 2 ;;
esac
