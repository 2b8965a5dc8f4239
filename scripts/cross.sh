#!/usr/bin/env bash
# Builds the suite for the phone's processors with Debian's cross compilers and
# multiarch Qt, and with "test" runs the whole test suite under qemu-user.
#   scripts/cross.sh armhf|arm64 [test] [build-folder]
# Installs what it needs (the foreign architecture, its libraries, the cross
# compiler and, for "test", qemu-user 10 from bookworm-backports, since the
# qemu 7.2 of Debian 12 cannot start Qt's child processes). The packages of the
# build are in <build-folder>/packages (default: build-<arch>).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

usage() { echo "usage: $0 armhf|arm64 [test] [build-folder]" >&2; exit 2; }
fail() { echo "cross: $*" >&2; exit 1; }

arch=${1:-}
case $arch in
armhf) triplet=arm-linux-gnueabihf ;;
arm64) triplet=aarch64-linux-gnu ;;
*) usage ;;
esac
shift
run_tests=no
if [ "${1:-}" = test ]; then run_tests=yes; shift; fi
build=${1:-$here/build-$arch}
[ $# -le 1 ] || usage

sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
install=("$here/scripts/install-packages.sh")

# The tests run the build machine's own tools (BusyBox, Xvfb, mkfs.vfat, ...).
if [ $run_tests = yes ]; then
  "$here/scripts/setup.sh" --packages-only
fi

if ! dpkg --print-foreign-architectures | grep -qx "$arch" && [ "$(dpkg --print-architecture)" != "$arch" ]; then
  echo "cross: adding the $arch architecture to dpkg"
  $sudo_cmd dpkg --add-architecture "$arch"
  $sudo_cmd apt-get update -qq || fail "apt-get update failed: is the network (deb.debian.org) reachable?"
fi

target=(qt6-base-dev qt6-5compat-dev libgl-dev libbenchmark-dev zlib1g-dev libpng-dev libwebp-dev libtiff-dev libxcb1-dev
        libqt6svg6 libfaketime libtiff6 libmng1 libwebpdemux2 libwebpmux3)
"${install[@]}" "crossbuild-essential-$arch" "${target[@]/%/:$arch}" \
  || fail "the $arch libraries could not be installed (see above)"

# qemu-user that can start QProcess children (Qt asks clone() for CLONE_PIDFD,
# which qemu learnt after 7.2).
qemu=$([ "$arch" = armhf ] && echo qemu-arm || echo qemu-aarch64)
qemu_major() { "$qemu" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p'; }
needs_qemu=no
if [ $run_tests = yes ]; then
  major=$(qemu_major || true)
  [ -n "$major" ] && [ "$major" -ge 8 ] || needs_qemu=yes
fi
if [ $needs_qemu = yes ]; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ "$codename" = bookworm ]; then
    list=/etc/apt/sources.list.d/bookworm-backports.sources
    if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d; then
      echo "cross: adding bookworm-backports for qemu-user"
      printf '%s\n' "Types: deb" "URIs: http://deb.debian.org/debian" "Suites: bookworm-backports" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
        | $sudo_cmd tee "$list" >/dev/null
      $sudo_cmd apt-get update -qq || fail "apt-get update failed: is the network (deb.debian.org) reachable?"
    fi
    # Alone, without its recommendations: they would pull a newer systemd.
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
      -t bookworm-backports qemu-user || fail "qemu-user could not be installed from bookworm-backports"
  else
    "${install[@]}" --no-install-recommends -- qemu-user || fail "qemu-user could not be installed"
  fi
  [ "$(qemu_major)" -ge 8 ] || fail "$qemu $(qemu_major) is too old to start Qt's child processes (8 or later needed)"
fi

cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
[ $run_tests = yes ] || exit 0

# Qt's image-format plugins (TIFF, WebP for Qt's own reader) cannot be
# installed beside the build machine's (the package is not multiarch), so the
# target's copy is unpacked into the build folder for the tests.
plugins=$build/foreign-plugins
if [ ! -d "$plugins/usr/lib/$triplet/qt6/plugins/imageformats" ]; then
  rm -rf "$plugins" && mkdir -p "$plugins"
  (cd "$plugins" && apt-get download -qq "qt6-image-formats-plugins:$arch" >/dev/null) \
    || fail "qt6-image-formats-plugins:$arch could not be downloaded"
  dpkg-deb -x "$plugins"/qt6-image-formats-plugins_*.deb "$plugins"
fi

cd "$build"
# Everything runs several times slower under qemu: every test's limit (and
# QtTest's watchdog within it) is scaled by the build (EZX_TEST_TIME_FACTOR). qemu-user
# emulates threads and signals less faithfully than a processor runs them: a
# test that fails is run once more, and each such test is named at the end
# (a test that fails twice fails the run). The native runs never retry.
log=$build/qemu-ctest.log
status=0
QT_PLUGIN_PATH="$plugins/usr/lib/$triplet/qt6/plugins" \
  "$here/scripts/under-qemu.sh" "$arch" \
  env QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" \
      --repeat until-pass:2 2>&1 | tee "$log" || status=$?
# Every test that failed once, whether or not its second run passed.
retried=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Failed|Timeout|Exception)' "$log" \
          | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | sort -u || true)
if [ -n "$retried" ]; then
  echo "cross: failed under qemu at least once:" $retried
fi
[ "$status" -eq 0 ] || exit "$status"
grep -q "tests passed" "$log" || fail "ctest under qemu ran no test"
