#!/usr/bin/env bash
# Sets everything up, builds, and runs every test headless.
#   scripts/test.sh [--fast] [build-folder] [extra cmake options...]
# --fast: only the quick round (CTest label "fast": tests of a few seconds that
# need no X server and no phone-world profile).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
select=()
if [ "${1:-}" = --fast ]; then select=(-L fast); shift; fi
build=${1:-$here/build}; shift || true
"$here/scripts/setup.sh" "$build" "$@"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "${select[@]}"
