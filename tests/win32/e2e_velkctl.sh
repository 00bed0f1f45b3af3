#!/usr/bin/env bash
# End to end across the two systems: velk-tester.exe, unattended with the
# sample operator script under Wine, answers the Linux velkctl over
# 127.0.0.1.  e2e_velkctl.sh BUILD_WIN64 LINUX_VELKCTL
# Expects WINEPREFIX to be prepared (scripts/windows.sh does it).
set -euo pipefail
build=$(cd "$1" && pwd)
velkctl=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
source_root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$build/wine-prefix} WINEDEBUG=-all

# An installation of its own: data/velk.cfg, log/, and the working folder.
install=$(mktemp -d "$build/e2e.XXXXXX")
mkdir -p "$install/data" "$install/log" "$install/work"
cp "$source_root/data/velk.cfg" "$install/data/"
port=$("$source_root/scripts/free_port.sh")

responder=
cleanup() {
  if [[ -n $responder ]]; then
    kill "$responder" 2>/dev/null || true
    wait "$responder" 2>/dev/null || true
  fi
  rm -rf "$install"
}
trap cleanup EXIT

(cd "$install/work" &&
  OPERATOR_SCRIPT="$source_root/data/answer.script" exec wine "$build/velk-tester.exe" C02 "$port" \
    >"$install/stdout.txt" 2>"$install/stderr.txt") &
responder=$!

fail() {
  echo "e2e: $*" >&2
  echo "--- velk-tester standard error:" >&2
  cat "$install/stderr.txt" >&2 || true
  exit 1
}

# send FIELDS...: velkctl's answer; a refused connection is tried again
# until the responder listens. It listens again only after the connection it
# served has closed, so every new connection may find it not listening yet.
send() {
  local answer status
  for _ in $(seq 1 50); do
    status=0
    answer=$(cd "$install/work" &&
      "$velkctl" --config "$install/data/velk.cfg" send C02 127.0.0.1 "$port" "$@" --timeout 10 2>&1) ||
      status=$?
    if ((status == 0)) || ! grep -q 'could not connect' <<<"$answer"; then
      break
    fi
    sleep 0.2
  done
  echo "$answer"
  return "$status"
}

answer=$(send 0=0200 3=000000 4=000000001000 11=000123 41=TERM0001) ||
  fail "no answer from velk-tester.exe on 127.0.0.1:$port: $answer"
echo "$answer"
grep -q '^0 .*: 0210$' <<<"$answer" || fail "the response is not a 0210"
grep -q '^39 .*: 00$' <<<"$answer" || fail "element 39 is not 00"
grep -q '^41 .*: TERM0001$' <<<"$answer" || fail "element 41 did not come back"

# A second request on a new connection: the responder listens again.
answer=$(send 0=0800) || fail "no answer on the second connection: $answer"
grep -q '^0 .*: 0810$' <<<"$answer" || fail "the second response is not a 0810"
sleep 0.5
grep -q '^VELK Tester: Connection closed' "$install/stderr.txt" ||
  fail "velk-tester.exe did not report the closed connection"
echo "e2e: $(basename "$build")/velk-tester.exe answered the Linux velkctl over 127.0.0.1:$port"
