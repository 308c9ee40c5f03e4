#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing tqc need, when missing.
# Usage: tools/deps.sh PACKAGE...
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >&2
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
