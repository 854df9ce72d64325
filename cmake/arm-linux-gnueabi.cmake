# 32-bit ARM Linux, soft float (ARMv5), with Debian's g++-arm-linux-gnueabi: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-arm-linux-gnueabi --toolchain cmake/arm-linux-gnueabi.cmake
set(CMAKE_SYSTEM_PROCESSOR arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
