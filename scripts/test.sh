#!/usr/bin/env bash
# Installs what is missing, builds Drovane (with its benchmarks) and runs every test.
# With --sanitize, as CI does, the folder plan is checked, the build treats warnings as
# errors, the sources must be clang-formatted and clang-tidy clean, the fuzz targets get a
# short run, and the same tests run again under AddressSanitizer and UBSan with the
# engine's assertions on.
  scripts/bench-smoke.sh build
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
strict=(-DCMAKE_COMPILE_WARNING_AS_ERROR=OFF)
if [ "${1:-}" = "--sanitize" ]; then
  strict=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
  echo "== layout"
  python3 scripts/layout-check.py
  echo "== clang-format"
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDROVANE_BENCH=ON "${strict[@]}"
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"
if [ "${1:-}" = "--sanitize" ]; then
  echo "== clang-tidy"
  JOBS=$jobs scripts/tidy.sh build
  scripts/bench-smoke.sh build
  JOBS=$jobs scripts/fuzz-smoke.sh 20000
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDROVANE_SANITIZE=ON "${strict[@]}"
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
fi
