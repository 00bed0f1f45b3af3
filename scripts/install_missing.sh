# shellcheck shell=bash
# Sourced by the scripts that need Debian packages.
# install_missing WHO PACKAGE...: installs (apt-get, as root) the packages
# that are not installed yet; quick and silent when all are there.
install_missing() {
  local who=$1
  shift
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "$who: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
