#!/usr/bin/env bash
# Pictures of the main window, the statistics window and every dialog, on a
# sample catalogue, taken under a virtual X display: scripts/screenshots.sh [OUT]
# (default build/screenshots). Needs the build (scripts/build.sh) and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
cmake --build build --target harvex_screenshots >/dev/null
# A display of its own, 1280 x 900; the pictures need no window manager.
exec xvfb-run -a -s "-screen 0 1280x900x24" env QT_QPA_PLATFORM=xcb build/tools/harvex_screenshots "$out"
