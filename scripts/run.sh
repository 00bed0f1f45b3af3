#!/usr/bin/env bash
# Installs what is missing, builds, and starts the responder on the shipped
# sample configuration, from build/ as an installation would run:
#   velk-tester C01 7001   (other arguments replace these)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build
mkdir -p "$root/log"
cd "$root/build"
if (($# == 0)); then
  set -- C01 7001
fi
exec ./velk-tester "$@"
