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
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-20000}
runs=${2:-3}
build=${VELK_BUILD_DIR:-build}
"$root/scripts/build.sh" "$build" >/dev/null
cd "$root/$build"
mkdir -p "$root/log"

script=$(mktemp)
request=$(mktemp --suffix=.dat)
trap 'rm -f "$script" "$request"; kill $(jobs -p) 2>/dev/null || true' EXIT
cat >"$script" <<'SCRIPT'
on 0=0200
  set 0 0210
  set 39 00
  respond
SCRIPT
# A 0200 of the sample controller C01.
./velkctl make C01 "$request" 0=0200 2=4111111111111111 3=000000 4=000000001000 \
  7=1209120000 11=000123 41=TERM0001 49=978 102=1234567890 >/dev/null

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

run_load() {  # PORT -> "requests-per-second median-us"
  local out
  out=$(./velkctl send C01 127.0.0.1 "$1" "$request" --count "$count")
  echo "$out" | grep -q '^failures: 0$' || { echo "$out" >&2; exit 1; }
  echo "$(echo "$out" | sed -n 's/^requests per second: //p') $(echo "$out" | sed -n 's/^round trip median: \([0-9.]*\) us/\1/p')"
}

wait_listening() { for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return; sleep 0.05; done; }

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
