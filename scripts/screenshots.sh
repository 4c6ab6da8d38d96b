#!/usr/bin/env bash
# Takes README's pictures of every window (docs/*.png) from the current build, under
# Xvfb without a window manager. The screenshot program starts the search, vendor and
# update servers it needs on 127.0.0.1 and drives the real windows.
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/build.ninja" ]; then
  scripts/deps.sh
  scripts/build.sh "$build"
fi
flock /tmp/trovalis-build.lock cmake --build "$build" -j2 --target screenshots
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
shots=$(mktemp -d) data=$(mktemp -d)
trap 'rm -rf "$shots" "$data"' EXIT
# A data folder of its own: the user's kept checks and browser profile stay out of the pictures.
export XDG_DATA_HOME="$data"
timeout 600 xvfb-run -a -s "-screen 0 1280x960x24" env QT_QPA_PLATFORM=xcb "$build/bench/screenshots" "$shots"
for png in "$shots"/*.png; do
  # Metadata out (no time stamps), so that an unchanged window gives an unchanged file.
  convert "$png" -strip "docs/$(basename "$png")"
done
ls -l docs/*.png
