# Cross-compiles pipetap and its tests for aarch64 Linux with Debian's
# g++-aarch64-linux-gnu; the tests run under qemu-user-static:
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
#   cmake --build build-aarch64 && ctest --test-dir build-aarch64
# The tests start pipetap themselves, so aarch64 programs must run when executed:
# register Debian's /usr/lib/binfmt.d/qemu-aarch64.conf with binfmt_misc first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the test program; pipetap, started by it, finds the aarch64 C library
# through QEMU_LD_PREFIX, which the emulator passes on.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env QEMU_LD_PREFIX=/usr/aarch64-linux-gnu qemu-aarch64-static)
