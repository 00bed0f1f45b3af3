#!/usr/bin/env bash
# Prints a TCP port of 127.0.0.1 that nobody listened on a moment ago, for
# the scripts that start a responder (the tests' C++ FreePort does the same).
set -euo pipefail
python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
