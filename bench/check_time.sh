#!/usr/bin/env bash
# How long `drovane-cli check` takes on loopback, beside a peer doing the same five
# exchanges with curl (three GetBalance, one PE_GetProductPrice per TLD of a .com and a
# .net list), each a process of its own against the same registrar stand-in.
#
#   bench/check_time.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build; it needs drovane-cli and the registrar_standin target.
set -eu
build=${1:-build}
runs=${2:-21}
cli=$build/src/app/drovane-cli
standin=$build/tools/registrar_standin
folder=$(mktemp -d)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$standin" "$port" > /dev/null &
standin_pid=$!
trap 'kill $standin_pid; rm -rf "$folder"' EXIT
sleep 0.3
$cli --folder "$folder" settings set username reseller > /dev/null
echo secret | $cli --folder "$folder" settings set password > /dev/null
$cli --folder "$folder" settings set interval 1 > /dev/null
$cli --folder "$folder" settings set secure false > /dev/null
$cli --folder "$folder" domains add one.com two.net > /dev/null

ask() {
  curl -s --http1.0 --max-time 5 -o /dev/null \
    "http://127.0.0.1:$port/interface.asp?command=$1&uid=reseller&pw=secret$2&responsetype=text"
}
peer() {
  ask GetBalance ""; ask GetBalance ""; ask GetBalance ""
  ask PE_GetProductPrice "&ProductType=10&TLD=com&Years=1"
  ask PE_GetProductPrice "&ProductType=10&TLD=net&Years=1"
}
us() { echo $(( ($(date +%s%N) - $1) / 1000 )); }

check_us=() peer_us=() start_us=()
for _ in $(seq "$runs"); do
  t=$(date +%s%N); $cli --folder "$folder" check --registrar "127.0.0.1:$port" > /dev/null || true
  check_us+=("$(us "$t")")
  t=$(date +%s%N); $cli --version > /dev/null; start_us+=("$(us "$t")")
  t=$(date +%s%N); peer; peer_us+=("$(us "$t")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
c=$(median "${check_us[@]}") p=$(median "${peer_us[@]}") v=$(median "${start_us[@]}")
echo "runs $runs, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "drovane-cli check       median $((c / 1000)).$(( (c % 1000) / 100 )) ms"
echo "drovane-cli --version   median $((v / 1000)).$(( (v % 1000) / 100 )) ms (the process alone)"
echo "curl, same 5 exchanges  median $((p / 1000)).$(( (p % 1000) / 100 )) ms"
awk -v c="$c" -v p="$p" 'BEGIN { printf "ratio check / curl      %.2f\n", c / p }'
