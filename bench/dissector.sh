#!/usr/bin/env bash
# Decoding time of the generated Wireshark dissector on a long capture:
# 10,000 ISO 8583 messages of the sample controller C01 (5,000 requests and
# their responses, 4-digit length prefix, one message per segment), decoded by
# tshark with the dissector and without it, in the same run.
#
#   bench/dissector.sh [PAIRS]        (default 5000 request/response pairs)
#
# Prints the best of three runs of each, wall clock and CPU time, for the
# one-line summary (tshark -r) and the full detail (tshark -r -V), and their
# ratios.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=${1:-5000}
build=${VELK_BUILD_DIR:-build}
"$root/scripts/build.sh" "$build" >/dev/null
cd "$root/$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export HEADER_LENGTH=4
./velkctl make C01 "$work/request.dat" 0=0200 2=4111111111111111 3=000000 4=000000001000 \
  7=1209120000 11=000123 41=TERM0001 49=978 102=1234567890 >/dev/null
./velkctl make C01 "$work/response.dat" 0=0210 2=4111111111111111 3=000000 4=000000001000 \
  7=1209120000 11=000123 38=123456 39=00 41=TERM0001 49=978 102=1234567890 >/dev/null
./velkctl dissector C01 --port 7001=C01 -o "$work/velk.lua" >/dev/null

# text2pcap: I is towards the responder (10.0.0.2:7001), O back; it keeps
# the TCP sequence numbers of both directions.
request=$(echo I; od -Ax -tx1 -v "$work/request.dat")
response=$(echo O; od -Ax -tx1 -v "$work/response.dat")
for ((i = 0; i < pairs; i++)); do
  printf '%s\n%s\n' "$request" "$response"
done >"$work/dump.txt"
text2pcap -q -D -T 40000,7001 -4 10.0.0.1,10.0.0.2 "$work/dump.txt" "$work/capture.pcap" 2>/dev/null

decoded=$(tshark -n -r "$work/capture.pcap" -X lua_script:"$work/velk.lua" -Y velk.mti \
  -T fields -e velk.mti 2>/dev/null | wc -l)
echo "capture: $((2 * pairs)) messages, $decoded decoded by the dissector"

# Best of three runs of a command, output discarded: "WALL CPU" in seconds,
# CPU being user plus system time (steadier than the wall clock when other
# work shares the machine).
best() {
  local best_wall="" best_cpu="" r u s cpu
  for _ in 1 2 3; do
    read -r r u s < <( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    cpu=$(awk "BEGIN{print $u + $s}")
    if [[ -z "$best_wall" ]] || awk "BEGIN{exit !($r < $best_wall)}"; then best_wall=$r; fi
    if [[ -z "$best_cpu" ]] || awk "BEGIN{exit !($cpu < $best_cpu)}"; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}
for mode in summary detail; do
  extra=()
  [[ $mode == detail ]] && extra=(-V)
  read -r without_wall without_cpu < <(best tshark -n -r "$work/capture.pcap" "${extra[@]}")
  read -r with_wall with_cpu < <(best tshark -n -r "$work/capture.pcap" \
    -X lua_script:"$work/velk.lua" "${extra[@]}")
  echo "$mode: without the dissector ${without_wall} s (CPU ${without_cpu} s)," \
    "with it ${with_wall} s (CPU ${with_cpu} s);" \
    "ratio $(awk "BEGIN{printf \"%.2f\", $with_wall / $without_wall}")" \
    "(CPU $(awk "BEGIN{printf \"%.2f\", $with_cpu / $without_cpu}")), target below 3"
done
