#!/usr/bin/env bash
# Loopback round trips on one connection: velk-tester answering with an
# operator script, against the bare echo responder with the same framing,
# both driven by `velkctl send --count` in the same run.
#
#   bench/roundtrip.sh [COUNT] [RUNS]   (default 20000 requests each, 3 runs)
#
# Each run loads the echo responder and then velk-tester, one after the
# other, so that both meet the same machine load. On a loaded machine the
# requests per second swing with the load; the ratio of the median round
# trips is the steadier figure. build/velk-bench-script shows the CPU time
# the script adds to one answer. Prints requests per second
# for both, the ratio of their round-trip times per run, and the peak
# resident memory of velk-tester.
set -euo pipefail
count=${1:-20000}
runs=${2:-3}
# shellcheck source=bench/loopback_setup.sh
source "$(dirname "$0")/loopback_setup.sh"
trap 'rm -f "$script" "$request"; kill $(jobs -p) 2>/dev/null || true' EXIT

run_load() {  # PORT -> "requests-per-second median-us"
  local out
  out=$(./velkctl send C01 127.0.0.1 "$1" "$request" --count "$count")
  echo "$out" | grep -q '^failures: 0$' || { echo "$out" >&2; exit 1; }
  echo "$(echo "$out" | sed -n 's/^requests per second: //p') $(echo "$out" | sed -n 's/^round trip median: \([0-9.]*\) us/\1/p')"
}

echo_port=$(free_port)
./velk-echo-responder C01 "$echo_port" >/dev/null 2>&1 &
wait_listening "$echo_port"

tester_port=$(free_port)
OPERATOR_SCRIPT="$script" ./velk-tester C01 "$tester_port" >/dev/null 2>&1 &
tester_pid=$!
wait_listening "$tester_port"
sleep 0.2

for run in $(seq "$runs"); do
  read -r echo_rps echo_median < <(run_load "$echo_port")
  read -r tester_rps tester_median < <(run_load "$tester_port")
  printf 'run %d: echo responder %8s requests/s (median %6s us); velk-tester %8s requests/s (median %6s us); ' \
    "$run" "$echo_rps" "$echo_median" "$tester_rps" "$tester_median"
  awk -v e="$echo_rps" -v t="$tester_rps" -v em="$echo_median" -v tm="$tester_median" \
    'BEGIN { printf "round-trip time ratio %.3f (target 1.05 or less), of the medians %.3f\n", e / t, tm / em }'
done
peak_kb=$(sed -n 's/^VmHWM:\s*\([0-9]*\) kB/\1/p' /proc/$tester_pid/status)
printf 'velk-tester peak resident memory: %.1f MB (target under 16 MB)\n' "$(echo "$peak_kb / 1024" | bc -l)"

# The same with several connections at once.
"$root/bench/many_peers.sh"

# What the sample's field types and message rules cost, and the report.
"$root/bench/conformance.sh" "$count" "$runs"
