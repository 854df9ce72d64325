# Shared by the cross toolchain files, which set CMAKE_SYSTEM_PROCESSOR,
# cross_triplet (the prefix of Debian's cross compiler) and qemu_arch first.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the test program; pipetap, started by it, finds the target's C library
# through QEMU_LD_PREFIX, which the emulator passes on.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env QEMU_LD_PREFIX=/usr/${cross_triplet} qemu-${qemu_arch}-static)
