# 32-bit ARM, hard float (Debian's armhf):
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
# scripts/cross.sh armhf installs what this needs and builds with it.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(EZX_CROSS_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
