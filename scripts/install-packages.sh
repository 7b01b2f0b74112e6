#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing (as root). The
# package lists are read once, and only when something is missing.
# Usage: scripts/install-packages.sh <name for messages> package...
set -euo pipefail

who="$1"
shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "$who: missing packages: ${missing[*]}; run as root or install them first" >&2
  exit 1
fi
echo "$who: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
