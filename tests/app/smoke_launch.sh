#!/usr/bin/env bash
# Starts the real program offscreen in a folder of its own with saved files, asks it to
# end as a logging-out session would, and checks that it saved them unchanged and quit
# cleanly. Usage: smoke_launch.sh <path to the drovane executable>
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$exe" "$dir/drovane"

values=("" "reseller01" "pa ss&word" "1" "5" "Ada" "Byron" "+44.2079460000" "12 St James's Square"
        "London" "GB" "ada@example.co.uk" "0" "10:00 PM" "10:25 PM" "1" "ns1.example.net"
        "ns2.example.net" "0" "4\$STRA")
{
  for v in "${values[@]}"; do
    printf '\0\0\0\0\0'
    if [ -z "$v" ]; then printf '\001'; else printf '%s' "$v"; fi
  done
  printf '\0\0\0\0\0\r\n'
} > "$dir/settings.dat"
printf 'one.com\r\ntwo.net\r\nx.co.uk\r\n' > "$dir/domains.dat"
cp "$dir/settings.dat" "$dir/settings.expected"
cp "$dir/domains.dat" "$dir/domains.expected"
touch -d '2000-01-01' "$dir/settings.dat"

QT_QPA_PLATFORM=offscreen "$dir/drovane" > "$dir/out.txt" 2>&1 &
pid=$!
# Give it time to load its window; a slow sanitizer build needs more.
for _ in $(seq 1 50); do
  sleep 0.1
  kill -0 "$pid" 2>/dev/null || break
done
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the program ended on its own"; cat "$dir/out.txt"; exit 1
fi
# A second window on the same files says the first has them, and loads nothing.
QT_QPA_PLATFORM=offscreen "$dir/drovane" > "$dir/second.txt" 2>&1 &
second=$!
for _ in $(seq 1 100); do
  grep -q "open in another Drovane window (drovane, process $pid on " "$dir/second.txt" && break
  sleep 0.1
done
kill -KILL "$second" 2>/dev/null; wait "$second" 2>/dev/null
grep -q "open in another Drovane window (drovane, process $pid on " "$dir/second.txt" ||
  { echo "FAIL: a second window did not name the first"; cat "$dir/second.txt"; kill -KILL "$pid"; exit 1; }
kill -TERM "$pid"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"; echo "FAIL: the program did not quit within 10 s"; exit 1
fi
wait "$pid"; rc=$?
cat "$dir/out.txt"
[ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; exit 1; }
# Saved on the way out (the time stamp moved), and byte for byte what was loaded.
[ "$(stat -c %Y "$dir/settings.dat")" -gt 946684800 ] || { echo "FAIL: settings.dat was not saved"; exit 1; }
cmp "$dir/settings.dat" "$dir/settings.expected" || { echo "FAIL: settings.dat changed"; exit 1; }
cmp "$dir/domains.dat" "$dir/domains.expected" || { echo "FAIL: domains.dat changed"; exit 1; }
[ "$(stat -c %a "$dir/settings.dat")" = 600 ] || { echo "FAIL: settings.dat is not owner-only"; exit 1; }
echo "PASS: started, loaded, saved and quit cleanly"
