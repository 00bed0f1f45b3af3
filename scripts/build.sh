#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $1, with any
# further arguments passed to CMake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
cmake -S "$root" -B "$root/$dir" -G Ninja "$@"
cmake --build "$root/$dir"
