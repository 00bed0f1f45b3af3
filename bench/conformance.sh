#!/usr/bin/env bash
# What the conformance checks cost a scripted round trip, and what the JUnit
# report adds: the sample's C01 with its field types and message rules
# against the same C01 without them, then the typed C01 with VELK_REPORT
# against it without, all driven by `velkctl send --count` on one connection
# in the same run. Each pair runs one after the other, so that both meet the
# same machine load; the ratios are printed per run.
#
#   bench/conformance.sh [COUNT] [RUNS] [REPORT_COUNT]
#     (default 20000 requests, 3 runs, 100000 requests for the report)
set -euo pipefail
count=${1:-20000}
runs=${2:-3}
report_count=${3:-100000}
# shellcheck source=bench/loopback_setup.sh
source "$(dirname "$0")/loopback_setup.sh"
plain=$(mktemp -d)
pids=()
cleanup() {
  rm -rf "$script" "$request" "$plain"
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# An installation whose C01 declares nothing: the sample without its
# FIELD_TYPE lines and message rules.
mkdir -p "$plain/data" "$plain/log" "$plain/work"
sed -e '/<FIELD_TYPE>/d' -e '/<MESSAGE_RULE_LIST>/,/<\/MESSAGE_RULE_LIST>/d' \
  "$root/data/velk.cfg" >"$plain/data/velk.cfg"
tester=$PWD/velk-tester

start() {  # DIR [ENV=VALUE...]: runs velk-tester from DIR on $port
  local dir=$1
  shift
  port=$(free_port)
  (cd "$dir" && exec env "$@" OPERATOR_SCRIPT="$script" "$tester" C01 "$port" >/dev/null 2>&1) &
  pids+=($!)
  wait_listening "$port"
  sleep 0.2
}
stop_last() {
  local last=${pids[-1]}
  # The report is written a last time on the way out: wait for it.
  kill -TERM "$last" 2>/dev/null || true
  wait "$last" 2>/dev/null || true
  unset 'pids[-1]'
}
rps() {  # PORT COUNT -> requests per second
  local out
  out=$(./velkctl send C01 127.0.0.1 "$1" "$request" --count "$2")
  # (grep -q would end the pipe early: a failure under pipefail)
  [[ $out == *$'\nfailures: 0\n'* ]] || { echo "$out" >&2; exit 1; }
  echo "$out" | sed -n 's/^requests per second: //p'
}

start "$plain/work"
plain_port=$port
start "$PWD"
typed_port=$port
for run in $(seq "$runs"); do
  p=$(rps "$plain_port" "$count")
  t=$(rps "$typed_port" "$count")
  printf 'run %d: without types and rules %8s requests/s; with them %8s requests/s; ' "$run" "$p" "$t"
  awk -v p="$p" -v t="$t" 'BEGIN { printf "ratio %.3f (target 0.90 or more)\n", t / p }'
done
stop_last
stop_last

report=$(mktemp -d)
for run in $(seq "$runs"); do
  start "$PWD"
  start_s=$(date +%s.%N)
  rps "$port" "$report_count" >/dev/null
  without=$(echo "$(date +%s.%N) - $start_s" | bc -l)
  stop_last
  start "$PWD" VELK_REPORT="$report/report.xml"
  start_s=$(date +%s.%N)
  rps "$port" "$report_count" >/dev/null
  with=$(echo "$(date +%s.%N) - $start_s" | bc -l)
  stop_last
  size=$(stat -c %s "$report/report.xml")
  printf 'run %d: %d requests in %.2f s without VELK_REPORT, %.2f s with it (a %d MB report); ' \
    "$run" "$report_count" "$without" "$with" $((size / 1048576))
  awk -v a="$without" -v b="$with" 'BEGIN { printf "ratio %.3f (target 1.10 or less)\n", b / a }'
done
rm -rf "$report"
