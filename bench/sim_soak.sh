#!/usr/bin/env bash
# The whole-session simulation over many more seeds than CI runs: SEEDS seeds from FIRST,
# split into one chunk per core, each chunk a process of its own. The first failing seed
# of a chunk is printed with its replay command.
#
#   bench/sim_soak.sh [BUILD_DIR] [SEEDS] [FIRST]
#
# BUILD_DIR defaults to build; SEEDS to 20000; FIRST to 301 (CI runs seeds 1 to 300).
set -eu
build=${1:-build}
seeds=${2:-20000}
first=${3:-301}
test=$build/tests/core/run/tst_wholerun
jobs=$(nproc)
chunk=$(( (seeds + jobs - 1) / jobs ))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
start=${EPOCHREALTIME/,/.}
pids=()
for ((j = 0; j < jobs; ++j)); do
  from=$(( first + j * chunk ))
  count=$(( chunk < seeds - j * chunk ? chunk : seeds - j * chunk ))
  [ "$count" -gt 0 ] || break
  DROVANE_SIM_SEEDS=$from:$count "$test" invariantsHoldForEverySeed > "$out/$j" 2>&1 &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
end=${EPOCHREALTIME/,/.}
grep -h -E '^FAIL|^replay:|seeds [0-9]+ to' "$out"/* || true
printf '%d seeds from %d on %d processes: %.1f s, %s\n' "$seeds" "$first" "$jobs" \
  "$(python3 -c "print($end - $start)")" "$([ $failed = 0 ] && echo 'every invariant held' || echo FAILED)"
exit $failed
