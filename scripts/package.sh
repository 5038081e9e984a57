#!/usr/bin/env bash
# Builds Drovane's two Debian packages, drovane-cli (the engine and its services) and drovane
# (the window, depending on drovane-cli), in their own build folder with Debian's hardening
# flags (installs what is missing first), and prints their paths, drovane-cli's first.
# Install them with: sudo apt install ./build-deb/drovane-cli_<version>_<arch>.deb [./build-deb/drovane_...]
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
build=${1:-build-deb}
# What Debian's own packages are built with (stack protector, fortified functions, full
# RELRO, immediate binding, PIE), on top of the build type's optimisation.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" \
  --target drovane drovane-cli drovane_keyring drovane_package_files
# The packages land in the build folder; cpack names each on a line of its own.
out=$(cd "$build" && cpack -G DEB)
debs=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$out" | LC_ALL=C sort)
[ "$(wc -l <<<"$debs")" -eq 2 ] || { echo "$out"; echo "FAIL: cpack made no two packages"; exit 1; }
for deb in $debs; do
  [ -f "$deb" ] || { echo "$out"; echo "FAIL: $deb is missing"; exit 1; }
  realpath --relative-to=. "$deb"
done
