#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing, with apt-get
# (through sudo when not root). Extra apt-get options go before a "--":
#   scripts/install-packages.sh [apt-get options... --] package...
set -euo pipefail
options=()
if [[ " $* " == *" -- "* ]]; then
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
fi
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
echo "setup: installing ${missing[*]}"
sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
if ! $sudo_cmd apt-get update -qq; then
  echo "setup: apt-get update failed: is the network (deb.debian.org) reachable?" >&2
fi
if ! DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${options[@]}" "${missing[@]}"; then
  echo "setup: could not install ${missing[*]}: without network, or without these packages in the" \
       "configured Debian archives, this cannot go on" >&2
  exit 1
fi
