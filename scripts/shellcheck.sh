#!/usr/bin/env bash
# Checks every shell script of the repository with shellcheck, following the
# files they source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source "$root/scripts/install_missing.sh"
install_missing shellcheck shellcheck
scripts=(.ci/run)
while IFS= read -r -d '' file; do
  scripts+=("$file")
done < <(git ls-files -z -- '*.sh')
shellcheck -x "${scripts[@]}"
