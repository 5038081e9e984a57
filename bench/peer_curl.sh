#!/usr/bin/env bash
# A minimal poller as a user would write it with bash and curl: check names in turn,
# buy a name the moment a check finds it free, wait the interval after each reply.
#
#   peer_curl.sh PORT TAG INTERVAL DURATION [START_AT_EPOCH_S]
#
# Names are TAG + "1f0" (free at the timing stand-in), TAG + "1n1" ... (taken).
set -u
port=$1 tag=$2 interval=$3 duration=$4
if [ $# -gt 4 ]; then
  # Sleep to the start second, to the microsecond.
  us=$(( ${5}000000 - $(date +%s%N) / 1000 ))
  [ "$us" -gt 0 ] && sleep "$(printf '%d.%06d' $((us / 1000000)) $((us % 1000000)))"
fi
names=("${tag}1f0" "${tag}1n1" "${tag}1n2" "${tag}1n3")
ask() {
  curl -s --max-time 5 "http://127.0.0.1:$port/interface.asp?command=$1&uid=u&pw=p&sld=$2&tld=com&responsetype=text"
}
end=$(( SECONDS + ${duration%.*} ))
turn=0
while [ $SECONDS -lt $end ]; do
  name=${names[$(( turn % 4 ))]}
  turn=$(( turn + 1 ))
  if ask check "$name" | grep -q "RRPCode=210"; then
    ask purchase "$name" > /dev/null
  fi
  sleep "$interval"
done
