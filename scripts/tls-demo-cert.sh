#!/usr/bin/env bash
# Makes a self-signed demo certificate for a TLS responder on this machine:
# DIR/demo-cert.pem and DIR/demo-key.pem (P-256), for the names localhost
# and 127.0.0.1, valid 30 days. Clients trust it with --ca DIR/demo-cert.pem.
#
#   scripts/tls-demo-cert.sh [DIR]    (default: build/tls-demo)
#
# Not for production: a real controller link wants a certificate from a CA
# the controllers trust.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/tls-demo}
# shellcheck source=scripts/install_missing.sh
source "$root/scripts/install_missing.sh"
install_missing tls-demo-cert.sh openssl
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes \
  -keyout "$dir/demo-key.pem" -out "$dir/demo-cert.pem" -days 30 -subj "/CN=localhost" \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
chmod 600 "$dir/demo-key.pem"
echo "$dir/demo-cert.pem"
echo "$dir/demo-key.pem"
