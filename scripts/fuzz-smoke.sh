#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each one briefly from its
# seed and regression inputs. Needs clang and libclang-rt-14-dev (Debian 12).
# Usage: scripts/fuzz-smoke.sh [runs per target, default 20000]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDROVANE_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target fuzzers -j "${JOBS:-2}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz-artifacts
for target in settings_dat domains_dat reply request; do
  mkdir "$work/$target"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "== fuzz_$target: $runs runs"
  # New inputs go to the scratch folder; the kept ones are only read.
  status=0
  build-fuzz/fuzz/"fuzz_$target" -runs="$runs" "${dict[@]}" -print_final_stats=1 \
    -artifact_prefix="fuzz-artifacts/$target-" \
    "$work/$target" "fuzz/corpus/$target" "tests/fuzz_regressions/$target" \
    >"$work/$target.log" 2>&1 || status=$?
  grep -E "^Done|executed_units|exec_per_sec" "$work/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$work/$target.log"
    echo "fuzz_$target failed; the input is kept in fuzz-artifacts/"
    exit 1
  fi
done
