#!/usr/bin/env bash
# Installs what is missing, builds Drovane (with its benchmarks) and runs every test.
# With --sanitize, as CI does, the same tests run again under AddressSanitizer and
# UBSan, and the fuzz targets get a short run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDROVANE_BENCH=ON
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"
if [ "${1:-}" = "--sanitize" ]; then
  JOBS=$jobs scripts/fuzz-smoke.sh 20000
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDROVANE_SANITIZE=ON
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
fi
