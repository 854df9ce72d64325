# 32-bit ARM Linux, hard float (ARMv7), with Debian's g++-arm-linux-gnueabihf: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-arm-linux-gnueabihf --toolchain cmake/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
