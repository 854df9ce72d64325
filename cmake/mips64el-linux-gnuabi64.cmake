# 64-bit little-endian MIPS Linux, with Debian's g++-mips64el-linux-gnuabi64: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-mips64el-linux-gnuabi64 --toolchain cmake/mips64el-linux-gnuabi64.cmake
set(CMAKE_SYSTEM_PROCESSOR mips64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
