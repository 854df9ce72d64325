# 32-bit little-endian MIPS Linux, with Debian's g++-mipsel-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-mipsel-linux-gnu --toolchain cmake/mipsel-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR mipsel)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
