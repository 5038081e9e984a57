#!/usr/bin/env bash
# Resident memory of the idle main window (offscreen), with an empty list and with a
# saved list of 32,768 names. The program runs from a copy in a temporary folder, so
# its settings.dat and domains.dat land there.
#
#   bench/window_rss.sh build-bench/src/app/drovane
set -euo pipefail
exe=${1:?path to the drovane executable}
for names in 0 32768; do
  dir=$(mktemp -d)
  cp "$exe" "$dir/drovane"
  if [ "$names" -gt 0 ]; then
    awk -v n="$names" 'BEGIN { split(".com .net .us .tv", e, " ");
      for (i = 0; i < n; i++) printf "name%05d%s\r\n", i, e[i % 4 + 1] }' > "$dir/domains.dat"
  fi
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir" "$dir/drovane" &
  pid=$!
  sleep 4
  kill -0 "$pid" || { echo "the window ended early"; exit 1; }
  printf '%6d names: %s\n' "$names" \
    "$(grep -E '^(VmRSS|VmHWM)' "/proc/$pid/status" | tr -s ' \t\n' ' ')"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  rm -rf "$dir"
done
