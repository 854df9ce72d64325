# 64-bit RISC-V Linux, with Debian's g++-riscv64-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-riscv64-linux-gnu --toolchain cmake/riscv64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
