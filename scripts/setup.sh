#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is
# all there already. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-14-dev
  qt6-base-dev fonts-dejavu-core
)

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/install_missing.sh"
install_missing setup "${packages[@]}"
