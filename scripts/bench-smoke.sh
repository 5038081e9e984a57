#!/usr/bin/env bash
# Runs every benchmark and every mode of the timing harness and the probes once, with a
# tiny count, so that one that no longer runs (an error reported by a benchmark, an
# abort, a client of the harness that makes no request) fails CI. No figure is judged.
# Needs a build with -DDROVANE_BENCH=ON. Usage: scripts/bench-smoke.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# Fails with the output's tail when the command fails.
step() {
  local name=$1
  shift
  echo "== $name"
  local started=$SECONDS
  if ! "$@" > "$work/out" 2>&1; then
    tail -n 40 "$work/out"
    echo "bench smoke: $name failed"
    exit 1
  fi
  echo "   ok in $((SECONDS - started)) s"
}

# Every benchmark of a Google Benchmark executable once; an error it reports fails.
gbench() {
  local exe=$build/bench/$1
  step "$1" "$exe" --benchmark_min_time=0 --benchmark_out="$work/$1.json" \
    --benchmark_out_format=json
  python3 - "$work/$1.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
bad = [r["name"] + ": " + r.get("error_message", "") for r in runs if r.get("error_occurred")]
if bad or not runs:
    sys.exit("bench smoke: " + ("; ".join(bad) or "no benchmark ran"))
print(f"   {len(runs)} results, no error")
PY
}

gbench drovane_bench
gbench drovane_window_bench
step "drovane_timing" "$build/bench/drovane_timing" --seconds 3 --rounds 1
step "drovane_timing --tls" "$build/bench/drovane_timing" --tls --tls-samples 10
step "drovane_race_sim" "$build/bench/drovane_race_sim"
step "drovane_cli_launch" "$build/bench/drovane_cli_launch" --names 1000 --runs 1 --seconds 1
step "drovane_memory" "$build/bench/drovane_memory" --names 1000 --seconds 1
step "drovane_window_load --names" "$build/bench/drovane_window_load" --names 1000 --runs 1
step "drovane_window_load --line" "$build/bench/drovane_window_load" --line 4096 --runs 1
step "bench/window_rss.sh" bench/window_rss.sh "$build/src/app/drovane"
# It needs a network namespace of its own (unshare -rn), which some containers refuse.
if unshare -rn true 2>/dev/null; then
  step "bench/server_run.sh" bench/server_run.sh "$build" 3 50
else
  echo "== bench/server_run.sh: skipped, no network namespace can be made here"
fi
