#!/usr/bin/env bash
# Formats the C++ sources of src/ tools/ tests/ bench/ fuzz/ with the
# .clang-format of the root.
#   scripts/format.sh           rewrites the files in place
#   scripts/format.sh --check   changes nothing; lists what differs and fails
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mode=(-i)
case "${1:-}" in
  --check) mode=(--dry-run --Werror) ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
source "$root/scripts/install_missing.sh"
install_missing format clang-format
find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
  sort -z | xargs -0 clang-format "${mode[@]}"
