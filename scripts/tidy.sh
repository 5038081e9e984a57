#!/usr/bin/env bash
# clang-tidy over the C++ files of src/ with the root .clang-tidy, reading the compile
# commands of a configured and built folder. Any finding fails (WarningsAsErrors).
# Usage: scripts/tidy.sh [build-dir, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
if [ ! -f "$build/compile_commands.json" ]; then
  echo "no $build/compile_commands.json: configure and build first" >&2
  exit 1
fi
# The build's GCC-only warning options mean nothing to clang.
git ls-files -z -- 'src/*.cpp' |
  xargs -0 -n 4 -P "${JOBS:-$(nproc)}" "$tidy" -p "$build" --quiet \
    --extra-arg=-Wno-unknown-warning-option
echo "clang-tidy: no findings in src/"
