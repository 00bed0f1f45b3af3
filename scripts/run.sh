#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the shipped
# sample configuration, from build/ as an installation would run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build
mkdir -p "$root/log"
cd "$root/build"
exec ./velkctl config "$@"
