#!/usr/bin/env bash
# Fuzzes the configuration store with clang's libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer, for a bounded time.
#   scripts/fuzz.sh [seconds] [build-folder]
# New inputs go to the build folder's corpus copy; an input that fails is
# written there as crash-*/leak-*/timeout-* and the script fails: keep it in
# tests/platform/fuzz/corpus once mended.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
build=${2:-$here/build-fuzz}

for p in clang libfuzzer-14-dev libclang-rt-14-dev qt6-base-dev qt6-5compat-dev pkg-config; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
      clang libfuzzer-14-dev libclang-rt-14-dev qt6-base-dev qt6-5compat-dev pkg-config
    break
  fi
done

mkdir -p "$build/corpus" "$build/findings"
cp -n "$here"/tests/platform/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
flags=(-std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
clang++ "${flags[@]}" -I"$here/platform/core" -I"$here/platform/config" \
  $(pkg-config --cflags Qt6Core Qt6Core5Compat) \
  "$here/tests/platform/fuzz/zconfig_fuzz.cpp" "$here/platform/config/zconfig.cpp" \
  "$here/platform/config/zconfig_document.cpp" "$here/platform/core/phonepath.cpp" \
  -o "$build/zconfig_fuzz" $(pkg-config --libs Qt6Core Qt6Core5Compat)

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$build/findings"
"$build/zconfig_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
  -print_final_stats=1 "$build/corpus"
