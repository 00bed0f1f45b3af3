# shellcheck shell=bash
# Sourced by the loopback benchmarks (roundtrip.sh, many_peers.sh): builds
# into ${VELK_BUILD_DIR:-build}, moves there, and writes what both answer
# with and send: $script, an operator script that answers a 0200 at once, and
# $request, a 0200 of the sample controller C01. The caller removes both.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VELK_BUILD_DIR:-build}
"$root/scripts/build.sh" "$build" >/dev/null
cd "$root/$build" || exit 1
mkdir -p "$root/log"

script=$(mktemp)
request=$(mktemp --suffix=.dat)
cat >"$script" <<'SCRIPT'
on 0=0200
  set 0 0210
  set 39 00
  respond
SCRIPT
./velkctl make C01 "$request" 0=0200 2=4111111111111111 3=000000 4=000000001000 \
  7=1209120000 11=000123 41=TERM0001 49=978 102=1234567890 >/dev/null

free_port() { "$root/scripts/free_port.sh"; }
wait_listening() { for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return; sleep 0.05; done; }
