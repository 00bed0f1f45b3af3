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
# trips is the steadier figure. The same pair then runs with a controller
# framed BIN2 and one framed BIN2 with a TPDU (the echo responder with the
# same framing). build/velk-bench-script shows the CPU time
# the script adds to one answer. Prints requests per second
# for both, the ratio of their round-trip times per run, and the peak
# resident memory of velk-tester.
#
# Then TLS, on a demo certificate (scripts/tls-demo-cert.sh): velk-tester on
# a TLS port against the plain velk-tester of the same run (round trips over
# an established connection, target within 1.3 times), full handshakes per
# second (openssl s_time, a new session each time: a controller pool
# reconnecting after a failover), and the resident memory of velk-tester
# serving 40 TLS connections.
set -euo pipefail
count=${1:-20000}
runs=${2:-3}
# shellcheck source=bench/loopback_setup.sh
source "$(dirname "$0")/loopback_setup.sh"
tls_dir=$(mktemp -d)
trap 'rm -rf "$script" "$request" "$tls_dir"; kill $(jobs -p) 2>/dev/null || true' EXIT

run_load() {  # PORT [OPTIONS...] -> "requests-per-second median-us"
  local out port=$1
  shift
  out=$(./velkctl send C01 127.0.0.1 "$port" "$request" --count "$count" "$@")
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

# The same with the controller's own framing: C01's layout as F01 framed
# BIN2 and as F02 framed BIN2 with a TPDU, in an installation of their own
# beside the build (the sample stays as it is).
framed=$(mktemp -d)
mkdir -p "$framed/data" "$framed/log" "$framed/run"
c01=$(awk '/<CONTROLLER_PARAMS>$/ { block = ""; keep = 1 } keep { block = block $0 "\n" }
           /<\/CONTROLLER_PARAMS>/ { if (block ~ /<CONTROLLER_ID>C01\n/) printf "%s", block; keep = 0 }' \
      "$root/data/velk.cfg")
{
  sed '/<\/CONTROLLER_PARAMS_LIST>/,$d' "$root/data/velk.cfg"
  printf '%b' "$c01" | sed 's/<CONTROLLER_ID>C01/<CONTROLLER_ID>F01\n    <FRAMING>BIN2/'
  printf '%b' "$c01" | sed 's/<CONTROLLER_ID>C01/<CONTROLLER_ID>F02\n    <FRAMING>BIN2\n    <TPDU>6000010002/'
  sed -n '/<\/CONTROLLER_PARAMS_LIST>/,$p' "$root/data/velk.cfg"
} >"$framed/data/velk.cfg"
bin=$root/$build
trap 'rm -rf "$script" "$request" "$framed"; kill $(jobs -p) 2>/dev/null || true' EXIT
for controller in F01 F02; do
  framed_request="$framed/run/$controller.dat"
  (cd "$framed/run" && "$bin/velkctl" make "$controller" "$framed_request" 0=0200 \
    2=4111111111111111 3=000000 4=000000001000 7=1209120000 11=000123 41=TERM0001 49=978 \
    102=1234567890 >/dev/null)
  framed_load() {  # PORT -> "requests-per-second median-us"
    local out
    out=$(cd "$framed/run" && "$bin/velkctl" send "$controller" 127.0.0.1 "$1" "$framed_request" --count "$count")
    echo "$out" | grep -q '^failures: 0$' || { echo "$out" >&2; exit 1; }
    echo "$(echo "$out" | sed -n 's/^requests per second: //p') $(echo "$out" | sed -n 's/^round trip median: \([0-9.]*\) us/\1/p')"
  }
  f_echo_port=$(free_port)
  (cd "$framed/run" && exec "$bin/velk-echo-responder" "$controller" "$f_echo_port" >/dev/null 2>&1) &
  f_echo_pid=$!
  wait_listening "$f_echo_port"
  f_tester_port=$(free_port)
  (cd "$framed/run" && OPERATOR_SCRIPT="$script" exec "$bin/velk-tester" "$controller" "$f_tester_port" >/dev/null 2>&1) &
  f_tester_pid=$!
  wait_listening "$f_tester_port"
  sleep 0.2
  words=$([ "$controller" = F01 ] && echo "BIN2" || echo "BIN2 + TPDU")
  for run in $(seq "$runs"); do
    read -r echo_rps echo_median < <(framed_load "$f_echo_port")
    read -r tester_rps tester_median < <(framed_load "$f_tester_port")
    printf '%s run %d: echo responder %8s requests/s (median %6s us); velk-tester %8s requests/s (median %6s us); ' \
      "$words" "$run" "$echo_rps" "$echo_median" "$tester_rps" "$tester_median"
    awk -v e="$echo_rps" -v t="$tester_rps" -v em="$echo_median" -v tm="$tester_median" \
      'BEGIN { printf "round-trip time ratio %.3f (target 1.05 or less), of the medians %.3f\n", e / t, tm / em }'
  done
  kill "$f_echo_pid" "$f_tester_pid" 2>/dev/null || true
  wait "$f_echo_pid" "$f_tester_pid" 2>/dev/null || true
done
printf 'velk-tester peak resident memory: %.1f MB (target under 16 MB)\n' "$(echo "$peak_kb / 1024" | bc -l)"

# TLS against plain TCP, velk-tester both, in the same runs.
"$root/scripts/tls-demo-cert.sh" "$tls_dir" >/dev/null
cert=$tls_dir/demo-cert.pem
key=$tls_dir/demo-key.pem
start_tls() {  # PEERS: the port lands in tls_port, the pid in tls_pid
  tls_port=$(free_port)
  VELK_PEERS=$1 VELK_TLS_CERT=$cert VELK_TLS_KEY=$key OPERATOR_SCRIPT="$script" \
    ./velk-tester C01 "$tls_port" >/dev/null 2>&1 &
  tls_pid=$!
  wait_listening "$tls_port"
  sleep 0.2
}
start_tls 1
for run in $(seq "$runs"); do
  read -r plain_rps plain_median < <(run_load "$tester_port")
  read -r tls_rps tls_median < <(run_load "$tls_port" --tls --ca "$cert")
  printf 'TLS run %d: plain %8s requests/s (median %6s us); TLS %8s requests/s (median %6s us); ' \
    "$run" "$plain_rps" "$plain_median" "$tls_rps" "$tls_median"
  awk -v p="$plain_rps" -v t="$tls_rps" -v pm="$plain_median" -v tm="$tls_median" \
    'BEGIN { printf "round-trip time ratio %.3f (target 1.3 or less), of the medians %.3f\n", p / t, tm / pm }'
done
kill "$tls_pid"

# Full handshakes, one after another, on a port that serves 8 at once (one
# connection at a time would refuse connects while it listens anew).
start_tls 8
start_ns=$(date +%s%N)
handshakes=$(openssl s_time -connect "127.0.0.1:$tls_port" -new -time 3 -CAfile "$cert" 2>/dev/null |
  sed -n 's/^\([0-9]*\) connections in [0-9.]*s;.*/\1/p')
elapsed_ms=$((($(date +%s%N) - start_ns) / 1000000))
awk -v n="$handshakes" -v ms="$elapsed_ms" \
  'BEGIN { printf "TLS full handshakes: %d in %.1f s, %.0f per second\n", n, ms / 1000, n * 1000 / ms }'
kill "$tls_pid"

# 40 TLS connections at once.
start_tls 40
out=$(./velkctl send C01 127.0.0.1 "$tls_port" "$request" --count 200 --connections 40 --tls --ca "$cert")
echo "$out" | grep -q '^failures: 0$' || { echo "$out" >&2; exit 1; }
rss_kb=$(sed -n 's/^VmHWM:\s*\([0-9]*\) kB/\1/p' /proc/$tls_pid/status)
printf 'velk-tester peak resident memory with 40 TLS connections: %.1f MB\n' "$(echo "$rss_kb / 1024" | bc -l)"
kill "$tls_pid"

# The same with several connections at once.
"$root/bench/many_peers.sh"

# What the sample's field types and message rules cost, and the report.
"$root/bench/conformance.sh" "$count" "$runs"
