#!/usr/bin/env bash
# Installs what is missing, builds, and starts the responder on the shipped
# sample configuration, from build/ as an installation would run:
#   velk-tester C01 7001   (other arguments replace these)
# At a desktop it opens the desk. Whether a desk can be shown is velk-tester's
# own decision: when it finds none it ends with its "no desk" exit code, and
# this script starts it again unattended with the sample operator script
# data/answer.script, serving until interrupted. An OPERATOR_SCRIPT already
# set is used as it stands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build
mkdir -p "$root/log"
cd "$root/build"
if (($# == 0)); then
  set -- C01 7001
fi
if [[ -n "${OPERATOR_SCRIPT:-}" ]]; then
  exec ./velk-tester "$@"
fi

# velk-tester's exit code for "no desk to show dialogs on, and no operator
# script" (docs/start-up-messages.md).
no_desk=1
status=0
./velk-tester "$@" || status=$?
if ((status != no_desk)); then
  exit "$status"
fi
echo "run.sh: no usable display, so velk-tester $1 ${2:-} answers unattended with data/answer.script until Ctrl-C; send it a request from build/: ./velkctl send $1 127.0.0.1 ${2:-PORT} 0=0800 11=000001 70=301" >&2
export OPERATOR_SCRIPT=../data/answer.script
exec ./velk-tester "$@"
