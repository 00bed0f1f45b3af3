#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is
# all there already. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-14-dev
  clang-format shellcheck libxml2-utils
  qt6-base-dev fonts-dejavu-core
  tshark
  libssl-dev openssl python3
)

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/install_missing.sh"
# tshark's package asks whether users other than root may capture: answer
# no beforehand, so that the install never waits for an answer.
if ! dpkg-query -W -f='${Status}' wireshark-common 2>/dev/null | grep -q "install ok installed"; then
  echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
fi
install_missing setup "${packages[@]}"
