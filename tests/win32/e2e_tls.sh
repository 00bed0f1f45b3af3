#!/usr/bin/env bash
# TLS end to end across the two systems: the Windows velkctl.exe under Wine,
# with the system's TLS (Schannel), sends over TLS to the Linux velk-tester
# serving a TLS port (VELK_TLS_CERT, VELK_TLS_KEY; then VELK_TLS_CA: mTLS).
# The other way round Wine cannot go: its Schannel has no server side, and
# velk-tester.exe with VELK_TLS_CERT must stop at start-up saying so.
#   e2e_tls.sh BUILD_WIN LINUX_BUILD
# Expects WINEPREFIX to be prepared (scripts/windows.sh does it).
set -euo pipefail
build=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
source_root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$build/wine-prefix} WINEDEBUG=-all

install=$(mktemp -d "$build/e2e-tls.XXXXXX")
mkdir -p "$install/data" "$install/log" "$install/work" "$install/certs"
cp "$source_root/data/velk.cfg" "$install/data/"
certs=$install/certs

# RSA throughout: the Windows backend takes RSA keys only.
make_leaf() { # NAME SUBJECT-ALT-NAMES
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$1" -keyout "$certs/$1.key" \
    -out "$certs/$1.csr" 2>/dev/null
  printf 'subjectAltName=%s\n' "$2" >"$certs/$1.ext"
  openssl x509 -req -in "$certs/$1.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
    -CAcreateserial -days 2 -extfile "$certs/$1.ext" -out "$certs/$1.pem" 2>/dev/null
}
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=e2e-ca \
  -keyout "$certs/ca.key" -out "$certs/ca.pem" 2>/dev/null
make_leaf localhost "DNS:localhost,IP:127.0.0.1"
make_leaf client "DNS:client"

responder=
stop_responder() {
  if [[ -n $responder ]]; then
    kill "$responder" 2>/dev/null || true
    wait "$responder" 2>/dev/null || true
    responder=
  fi
}
cleanup() {
  stop_responder
  rm -rf "$install"
}
trap cleanup EXIT

fail() {
  echo "e2e-tls: $*" >&2
  echo "--- velk-tester standard error:" >&2
  cat "$install/stderr.txt" >&2 || true
  exit 1
}

# start_responder [VAR=VALUE...]: the Linux velk-tester on a new port.
port=
start_responder() {
  stop_responder
  port=$("$source_root/scripts/free_port.sh")
  (cd "$install/work" &&
    exec env OPERATOR_SCRIPT="$source_root/data/answer.script" \
      VELK_TLS_CERT="$certs/localhost.pem" VELK_TLS_KEY="$certs/localhost.key" "$@" \
      "$linux/velk-tester" C02 "$port" >"$install/stdout.txt" 2>"$install/stderr.txt") &
  responder=$!
}

win() { winepath -w "$1"; }

# send [OPTIONS...]: velkctl.exe's answer to a 0200 over TLS; a refused
# connection is tried again until the responder listens.
send() {
  local answer status
  for _ in $(seq 1 50); do
    status=0
    answer=$(cd "$install/work" &&
      wine "$build/velkctl.exe" --config "$(win "$install/data/velk.cfg")" send C02 127.0.0.1 \
        "$port" 0=0200 3=000000 4=000000001000 11=000123 41=TERM0001 --timeout 10 --tls \
        --ca "$(win "$certs/ca.pem")" "$@" 2>&1) || status=$?
    answer=${answer//$'\r'/} # the Windows program ends its lines with CR LF
    if ((status == 0)) || ! grep -q 'could not connect' <<<"$answer"; then
      break
    fi
    sleep 0.2
  done
  echo "$answer"
  return "$status"
}

start_responder
answer=$(send) || fail "no TLS answer from the Linux velk-tester on 127.0.0.1:$port: $answer"
grep -q '^0 .*: 0210$' <<<"$answer" || fail "the TLS response is not a 0210: $answer"
grep -q '^41 .*: TERM0001$' <<<"$answer" || fail "element 41 did not come back over TLS"
answer=$(send --servername localhost) || fail "no TLS answer with --servername: $answer"
grep -q '^0 .*: 0210$' <<<"$answer" || fail "the response with --servername is not a 0210"

start_responder VELK_TLS_CA="$certs/ca.pem"
answer=$(send --cert "$(win "$certs/client.pem")" --key "$(win "$certs/client.key")") ||
  fail "no mTLS answer with the client certificate: $answer"
grep -q '^0 .*: 0210$' <<<"$answer" || fail "the mTLS response is not a 0210"
if answer=$(send); then
  fail "a client without certificate was answered under VELK_TLS_CA: $answer"
fi
stop_responder

# velk-tester.exe as TLS host: refused at start-up, the gap named.
status=0
(cd "$install/work" &&
  OPERATOR_SCRIPT="$source_root/data/answer.script" VELK_TLS_CERT="$certs/localhost.pem" \
    VELK_TLS_KEY="$certs/localhost.key" timeout 60 wine "$build/velk-tester.exe" C02 \
    "$("$source_root/scripts/free_port.sh")" >"$install/stdout.txt" 2>"$install/stderr.txt") ||
  status=$?
((status != 0)) || fail "velk-tester.exe served a TLS port under Wine, which has no TLS server"
grep -q 'AcceptSecurityContext' "$install/stderr.txt" ||
  fail "velk-tester.exe did not name the missing TLS server (exit $status)"
echo "e2e-tls: $(basename "$build")/velkctl.exe answered over TLS and mTLS by the Linux velk-tester; velk-tester.exe names Wine's missing TLS server"
