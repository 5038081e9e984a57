#!/usr/bin/env bash
# Builds Drovane's Debian package in build/ (installs what is missing first) and prints its
# path. Install it with: sudo apt install ./build/drovane_<version>_<arch>.deb
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target drovane drovane_package_files
# The server runner is packaged when the build has it.
targets=$(cmake --build "$build" --target help)
if grep -q '^drovane-cli:' <<<"$targets"; then
  cmake --build "$build" -j "${JOBS:-$(nproc)}" --target drovane-cli
fi
# The package lands in the build folder; cpack names it on a line of its own.
out=$(cd "$build" && cpack -G DEB)
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$out")
[ -f "$deb" ] || { echo "$out"; echo "FAIL: cpack made no package"; exit 1; }
realpath --relative-to=. "$deb"
