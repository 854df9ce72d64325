# 64-bit ARM Linux, with Debian's g++-aarch64-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-aarch64-linux-gnu --toolchain cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
