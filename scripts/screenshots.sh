#!/usr/bin/env bash
# Retakes the README's screenshots of the windows under a real (virtual) X server, with
# the fonts the program registers at start-up. Usage: scripts/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target drovane_screenshots
mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 "$build/tools/drovane_screenshots" docs
echo "Screenshots written to docs/"
