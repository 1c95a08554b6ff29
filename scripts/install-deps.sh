#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# is not there yet. Safe to run again; quiet when nothing is missing.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
          libsimpleini-dev libsqlite3-dev vsftpd python3-pyftpdlib xvfb xauth lftp openssl rclone
          qt6-charts-dev libqt6opengl6-dev imagemagick postgresql libqt6sql6-psql
          # The web page (and the headless browser its test drives).
          qt6-httpserver-dev qt6-websockets-dev chromium
          # The Debian package, its manual pages, icons, completion and metadata, and their checks.
          dpkg-dev file lintian scdoc librsvg2-bin man-db bash-completion zsh desktop-file-utils
          appstream systemd)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # Debian starts vsftpd on port 21 on install; the tests run their own.
  $SUDO systemctl disable --now vsftpd >/dev/null 2>&1 || $SUDO service vsftpd stop >/dev/null 2>&1 || true
  # Debian starts a PostgreSQL cluster too; the tests make their own in a temporary folder.
  $SUDO systemctl disable --now postgresql >/dev/null 2>&1 || $SUDO service postgresql stop >/dev/null 2>&1 || true
fi
