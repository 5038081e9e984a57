#!/usr/bin/env bash
# drovane --version and --help answer without a display, as drovane-cli does: no
# window system is asked for before they are answered.
# Usage: no_display.sh <path to the drovane executable>
set -u
exe=$1
quiet=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
out=$("${quiet[@]}" "$exe" --version 2>"$errors"); rc=$?
err=$(cat "$errors")
[ "$rc" -eq 0 ] || { echo "FAIL: --version exit status $rc: $err"; exit 1; }
[[ "$out" =~ ^drovane\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "FAIL: --version printed '$out'"; exit 1; }
[ -z "$err" ] || { echo "FAIL: --version wrote to stderr: $err"; exit 1; }
for ask in --help -h; do
  out=$("${quiet[@]}" "$exe" "$ask" 2>&1); rc=$?
  [ "$rc" -eq 0 ] || { echo "FAIL: $ask exit status $rc: $out"; exit 1; }
  grep -q '^Usage: drovane' <<< "$out" || { echo "FAIL: $ask printed '$out'"; exit 1; }
done
echo "PASS: --version and --help answered without a display"
