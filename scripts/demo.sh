#!/usr/bin/env bash
# Sets everything up, builds, makes a demo phone in ./demo-phone and installs
# the demo package on it with the package engine, printing the registry
# record the install wrote.
#   scripts/demo.sh [build-folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
"$here/scripts/setup.sh" "$build"
"$here/scripts/make-demo-phone.sh" "$here/demo-phone"
EZX_ROOT="$here/demo-phone" "$build/appkeeper/engine/pkginstall-demo" /mmc/mmca1/demo.pkg
