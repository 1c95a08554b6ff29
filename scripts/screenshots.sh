#!/usr/bin/env bash
# Pictures of the main window, the statistics window and every dialog, on a
# sample catalogue, taken under a virtual X display: scripts/screenshots.sh [OUT]
# (default build/screenshots). Needs the build (scripts/build.sh) and Xvfb.
# With chromium installed, the web page too (harvex-cli serve, through its
# browser test): web-search.png, web-folder-phone.png, web-hosts-phone.png.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
cmake --build build --target harvex_screenshots >/dev/null
# A display of its own, 1280 x 900; the pictures need no window manager.
xvfb-run -a -s "-screen 0 1280x900x24" env QT_QPA_PLATFORM=xcb build/tools/harvex_screenshots "$out"
if command -v chromium >/dev/null; then
  cmake --build build --target tst_searchpage harvex-cli >/dev/null
  HARVEX_SCREENSHOT_DIR="$(realpath -m "$out")" build/tests/tst_searchpage >/dev/null
else
  echo "chromium is not installed: no pictures of the web page" >&2
fi
