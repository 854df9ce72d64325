# Cross-compiles pipetap and its tests for 64-bit ARM Linux with Debian's
# g++-aarch64-linux-gnu; CTest runs the tests under qemu-user-static:
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
#   cmake --build build-aarch64 && ctest --test-dir build-aarch64
# The tests start pipetap themselves, so aarch64 programs must run when executed:
# register Debian's /usr/lib/binfmt.d/qemu-aarch64.conf with binfmt_misc first,
# without its O flag (see .ci/run).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(cross_triplet aarch64-linux-gnu)
set(qemu_arch aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
