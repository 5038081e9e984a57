#!/usr/bin/env bash
# Memory and CPU of a long run, the server runner beside the desktop program, with the
# same files: N names (default 2000), interval 1, Start Immediately, logging on, every
# name taken. Both run at once against one registrar stand-in on 127.0.0.1:80 inside a
# private network namespace (unshare -rn: no root needed, nothing leaves the machine).
#
#   bench/server_run.sh BUILD_DIR [SECONDS=600] [NAMES=2000]
set -euo pipefail
if [ "${1:-}" != --inside ]; then
  exec unshare -rn "$0" --inside "$@"
fi
shift
build=$(realpath "${1:?build folder}")
seconds=${2:-600}
names=${3:-2000}
ip link set lo up
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/tools/registrar_standin" 80 > /dev/null &
sleep 1
mkdir "$work/files"
cli=$build/src/app/drovane-cli
"$cli" --folder "$work/files" settings set username reseller
echo secret | "$cli" --folder "$work/files" settings set password
"$cli" --folder "$work/files" settings set interval 1
"$cli" --folder "$work/files" settings set logging true
"$cli" --folder "$work/files" settings set secure false  # the stand-in speaks plain HTTP
awk -v n="$names" 'BEGIN { split(".com .net .us .tv", e, " ");
  for (i = 0; i < n; i++) printf "name%05d%s\n", i, e[i % 4 + 1] }' |
  "$cli" --folder "$work/files" domains import -
cp -r "$work/files" "$work/cli"
cp -r "$work/files" "$work/desktop"

"$cli" --folder "$work/cli" run --registrar 127.0.0.1:80 > "$work/cli.out" &
cli_pid=$!
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
  "$build/bench/drovane_desktop_run" "$work/desktop" > /dev/null 2>&1 &
desk_pid=$!

sample() { # pid -> "VmRSS KiB, VmHWM KiB, CPU seconds"
  local rss hwm ticks
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$1/status")
  hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$1/status")
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat")
  echo "$rss $hwm $(echo "scale=2; $ticks / $(getconf CLK_TCK)" | bc)"
}
printf '%8s  %-12s %10s %10s %8s %8s\n' second program VmRSS_KiB VmHWM_KiB cpu_s lines
step=$(( seconds < 60 ? seconds : 60 ))  # a sample a minute, or one at the end of a short run
for ((t = step; t <= seconds; t += step)); do
  sleep "$step"
  read -r r h c < <(sample $cli_pid)
  printf '%8d  %-12s %10s %10s %8s %8s\n' $t drovane-cli "$r" "$h" "$c" "$(wc -l < "$work/cli/enomlog.txt")"
  read -r r h c < <(sample $desk_pid)
  printf '%8d  %-12s %10s %10s %8s %8s\n' $t drovane "$r" "$h" "$c" "$(wc -l < "$work/desktop/enomlog.txt")"
done
kill -TERM $cli_pid $desk_pid
wait $cli_pid; echo "drovane-cli exit status $?"
wait $desk_pid; echo "drovane exit status $?"
