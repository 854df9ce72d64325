# Cross-compiles pipetap and its tests for arm Linux with Debian's
# g++-arm-linux-gnueabihf; the tests run under qemu-user-static:
#   cmake -S . -B build-arm --toolchain cmake/arm-linux-gnueabihf.cmake
#   cmake --build build-arm && ctest --test-dir build-arm
# The tests start pipetap themselves, so arm programs must run when executed:
# register Debian's /usr/lib/binfmt.d/qemu-arm.conf with binfmt_misc first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the test program; pipetap, started by it, finds the arm C library
# through QEMU_LD_PREFIX, which the emulator passes on.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env QEMU_LD_PREFIX=/usr/arm-linux-gnueabihf qemu-arm-static)
