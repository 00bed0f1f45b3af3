#!/usr/bin/env bash
# Loopback round trips with several connections at once (VELK_PEERS): the
# scripted velk-tester against the bare echo responder served by the same
# loop, both driven by velk-peer-load (one client thread waiting on all its
# connections) in the same run; then 1 against 8 connections on velk-tester;
# then the peak resident memory of velk-tester serving 40 connections.
# Besides requests per second, the responders' own CPU time per request is
# printed: on a machine that other work keeps busy it is the steadier figure.
#
#   bench/many_peers.sh [COUNT]    (default 5000 requests per connection)
set -euo pipefail
count=${1:-5000}
# shellcheck source=bench/loopback_setup.sh
source "$(dirname "$0")/loopback_setup.sh"
pids=()
cleanup() {
  rm -f "$script" "$request"
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
start() {  # PEERS PROGRAM... -> port; the pid lands in last_pid
  local peers=$1 port
  shift
  port=$(free_port)
  VELK_PEERS=$peers OPERATOR_SCRIPT="$script" "$@" C01 "$port" >/dev/null 2>&1 &
  last_pid=$!
  pids+=("$last_pid")
  wait_listening "$port"
  sleep 0.2
  echo "$port" >"$script.port"
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

load() {  # PORT CONNECTIONS [COUNT [PID]] -> "requests-per-second cpu-us-per-request"
  local out before after
  before=$(cpu_ticks "${4:-$$}")
  out=$(./velk-peer-load C01 "$1" "$request" "${3:-$count}" "$2")
  after=$(cpu_ticks "${4:-$$}")
  echo "$out" | grep -q '^failures: 0$' || { echo "$out" >&2; exit 1; }
  local rps requests
  rps=$(echo "$out" | sed -n 's/^requests per second: //p')
  requests=$(echo "$out" | sed -n 's/^requests: //p')
  echo "$rps $(awk -v t=$((after - before)) -v n="$requests" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.1f", t * 1e6 / hz / n }')"
}

start 8 ./velk-echo-responder; echo_port=$(cat "$script.port"); echo_pid=$last_pid
start 8 ./velk-tester; tester_port=$(cat "$script.port"); tester_pid=$last_pid
# Alternating, so that a change in the machine's load hits both alike.
read -r echo_rps echo_cpu < <(load "$echo_port" 8 "$count" "$echo_pid")
read -r tester_rps tester_cpu < <(load "$tester_port" 8 "$count" "$tester_pid")
read -r tester_one one_cpu < <(load "$tester_port" 1 "$count" "$tester_pid")
read -r echo_rps2 echo_cpu2 < <(load "$echo_port" 8 "$count" "$echo_pid")
read -r tester_rps2 tester_cpu2 < <(load "$tester_port" 8 "$count" "$tester_pid")
read -r tester_one2 one_cpu2 < <(load "$tester_port" 1 "$count" "$tester_pid")

start 40 ./velk-tester; port40=$(cat "$script.port"); pid40=$last_pid
load "$port40" 40 500 >/dev/null
peak_kb=$(sed -n 's/^VmHWM:\s*\([0-9]*\) kB/\1/p' /proc/$pid40/status)
rm -f "$script.port"

most() { awk -v a="$1" -v b="$2" 'BEGIN { print (a > b ? a : b) }'; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
echo_rps=$(most "$echo_rps" "$echo_rps2"); echo_cpu=$(least "$echo_cpu" "$echo_cpu2")
tester_rps=$(most "$tester_rps" "$tester_rps2"); tester_cpu=$(least "$tester_cpu" "$tester_cpu2")
tester_one=$(most "$tester_one" "$tester_one2"); one_cpu=$(least "$one_cpu" "$one_cpu2")
printf 'echo responder, 8 connections: %8.0f requests/s, %6s us of its CPU per request\n' "$echo_rps" "$echo_cpu"
printf 'velk-tester,    8 connections: %8.0f requests/s, %6s us of its CPU per request\n' "$tester_rps" "$tester_cpu"
printf 'velk-tester,    1 connection:  %8.0f requests/s, %6s us of its CPU per request\n' "$tester_one" "$one_cpu"
awk -v e="$echo_rps" -v t="$tester_rps" -v ec="$echo_cpu" -v tc="$tester_cpu" 'BEGIN { printf "8 connections, echo / velk-tester: %.2f in requests/s, %.2f in CPU per request (target 1.10 or less)\n", e / t, tc / ec }'
awk -v m="$tester_rps" -v o="$tester_one" -v mc="$tester_cpu" -v oc="$one_cpu" 'BEGIN { printf "velk-tester, 8 connections / 1: %.2f in requests/s, %.2f in CPU per request (target 1.5 or more)\n", m / o, oc / mc }'
printf 'velk-tester peak resident memory with 40 connections: %.1f MB (target under 24 MB)\n' \
  "$(echo "$peak_kb / 1024" | bc -l)"
