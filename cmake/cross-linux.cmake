# Shared part of the cross toolchains (toolchain-armhf.cmake,
# toolchain-arm64.cmake): Debian's cross compilers and the target's multiarch
# libraries on this same machine (no sysroot). Set EZX_CROSS_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR before including it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${EZX_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${EZX_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${EZX_CROSS_TRIPLET})

# Libraries, headers and CMake packages of the target's architecture only;
# programs (moc, rcc, uic, python3, gzip) are the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config reads the target's .pc files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${EZX_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
