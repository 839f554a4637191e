# Cross-builds for 64-bit ARM with Debian's cross compiler, against the
# arm64 libraries installed beside the build machine's own (multiarch), and
# runs what the build runs (test discovery) under qemu-user.
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Packages and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The arm64 loader and C library of the multiarch root, a matched pair: the
# cross toolchain's own loader (under /usr/aarch64-linux-gnu) reads the
# machine's ld.so.cache and so loads the multiarch C library, of another
# build, with which the first thread a program starts never gets going.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
