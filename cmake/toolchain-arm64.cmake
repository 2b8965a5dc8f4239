# 64-bit ARM (Debian's arm64):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake
# scripts/cross.sh arm64 installs what this needs and builds with it.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(EZX_CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux.cmake)
