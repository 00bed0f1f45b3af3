#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh              the release build in build/
#   scripts/test.sh --sanitize   the AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
if [[ "${1:-}" == "--sanitize" ]]; then
  "$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON -DVELK_BENCH=OFF
  dir=build-asan
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  "$root/scripts/build.sh" build
  dir=build
fi
cd "$root/$dir"
ctest --output-on-failure -j2
