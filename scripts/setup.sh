#!/usr/bin/env bash
# Installs the Debian packages the suite needs (when missing) and builds it.
#   scripts/setup.sh [build-folder] [extra cmake options...]
#   scripts/setup.sh --packages-only
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}; shift || true

packages=(cmake g++ make qt6-base-dev qt6-5compat-dev libgl-dev libbenchmark-dev zlib1g-dev libtiff-dev
          faketime xvfb xserver-xephyr xdotool imagemagick e2fsprogs tar gzip coreutils procps python3
          fonts-droid-fallback fonts-dejavu-core
          busybox dosfstools fusefat fuse libarchive-tools util-linux
          qt6-image-formats-plugins libqt6svg6 libpng-dev libwebp-dev pkg-config mtools libxcb1-dev)
# busybox, dosfstools, fusefat (with fuse's fusermount), libarchive-tools (bsdtar)
# and util-linux (setpriv): the engine tests' phone-world profile.
# qt6-image-formats-plugins (WebP, TIFF readers), libqt6svg6 (the SVG reader),
# libpng-dev, libtiff-dev, libwebp-dev and pkg-config (reduced decoding): the pictures the
# viewer reads; mtools: the viewer's benchmark writes its FAT card image with it.
# xserver-xephyr: the phone emulator's window on a desktop; libxcb1-dev: its
# window keeper; util-linux (unshare, nsenter) also gives the phone its own
# PID namespace.
"$here/scripts/install-packages.sh" "${packages[@]}"
[ "$build" != --packages-only ] || exit 0

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
