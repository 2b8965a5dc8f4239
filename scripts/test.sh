#!/usr/bin/env bash
# Sets everything up, builds, and runs every test headless.
#   scripts/test.sh [build-folder] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}; shift || true
"$here/scripts/setup.sh" "$build" "$@"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
