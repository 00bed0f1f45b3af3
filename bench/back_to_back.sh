#!/usr/bin/env bash
# Two answers to one request (a rule with `respond` twice), on one loopback
# connection: how long after the first answer the second one arrives. Each
# answer is one small write; a socket that lets the system hold a small
# write until the peer acknowledges the one before (Nagle's algorithm) meets
# the peer's delayed acknowledgement and holds the second answer about 40 ms.
#
#   bench/back_to_back.sh [COUNT]   (default 50 requests)
#
# Prints the median and the largest gap over COUNT requests, in ms.
set -euo pipefail
count=${1:-50}
# shellcheck source=bench/loopback_setup.sh
source "$(dirname "$0")/loopback_setup.sh"
trap 'rm -f "$script" "$request"; kill $(jobs -p) 2>/dev/null || true' EXIT

# A 4-digit length prefix tells the client where each answer ends.
export HEADER_LENGTH=4
cat >"$script" <<'SCRIPT'
on 0=0200
  set 0 0210
  set 39 00
  respond
  respond
SCRIPT
./velkctl make C01 "$request" 0=0200 2=4111111111111111 3=000000 4=000000001000 \
  7=1209120000 11=000123 41=TERM0001 49=978 102=1234567890 >/dev/null

port=$(free_port)
OPERATOR_SCRIPT="$script" ./velk-tester C01 "$port" >/dev/null 2>&1 &
wait_listening "$port"
sleep 0.2

python3 - "$port" "$request" "$count" <<'CLIENT'
import socket, statistics, sys, time

port, request, count = int(sys.argv[1]), open(sys.argv[2], "rb").read(), int(sys.argv[3])
s = socket.create_connection(("127.0.0.1", port))
held = b""
arrived = 0.0

def next_answer():
    """Reads one prefixed answer; returns the time its last byte arrived."""
    global held, arrived
    while len(held) < 4 or len(held) < 4 + int(held[:4]):
        chunk = s.recv(65536)
        if not chunk:
            sys.exit("the responder closed the connection")
        arrived = time.perf_counter()
        held += chunk
    held = held[4 + int(held[:4]):]
    return arrived

gaps = []
for _ in range(count):
    s.sendall(request)
    first = next_answer()
    second = next_answer()
    gaps.append((second - first) * 1000)
print(f"{count} requests, two answers each: gap between the answers "
      f"median {statistics.median(gaps):.3f} ms, largest {max(gaps):.3f} ms")
CLIENT
