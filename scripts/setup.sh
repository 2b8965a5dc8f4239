#!/usr/bin/env bash
# Installs the Debian packages the suite needs (when missing) and builds it.
#   scripts/setup.sh [build-folder] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}; shift || true

packages=(cmake g++ make qt6-base-dev qt6-5compat-dev libgl-dev libbenchmark-dev zlib1g-dev
          faketime xvfb xserver-xephyr xdotool imagemagick e2fsprogs tar gzip coreutils procps python3
          fonts-droid-fallback fonts-dejavu-core
          busybox dosfstools fusefat fuse libarchive-tools util-linux
          qt6-image-formats-plugins libqt6svg6 libpng-dev libwebp-dev pkg-config)
# busybox, dosfstools, fusefat (with fuse's fusermount), libarchive-tools (bsdtar)
# and util-linux (setpriv): the engine tests' phone-world profile.
# qt6-image-formats-plugins (WebP, TIFF readers), libqt6svg6 (the SVG reader),
# libpng-dev, libwebp-dev and pkg-config (reduced decoding): the pictures the
# viewer reads.
# xserver-xephyr: the phone emulator's window on a desktop; util-linux (unshare,
# nsenter) also gives the phone its own PID namespace.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  $sudo_cmd apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
