# Cross-compiles pipetap and its tests for 32-bit ARM Linux with Debian's
# g++-arm-linux-gnueabihf; CTest runs the tests under qemu-user-static:
#   cmake -S . -B build-arm --toolchain cmake/arm-linux-gnueabihf.cmake
#   cmake --build build-arm && ctest --test-dir build-arm
# The tests start pipetap themselves, so arm programs must run when executed:
# register Debian's /usr/lib/binfmt.d/qemu-arm.conf with binfmt_misc first,
# without its O flag (see .ci/run).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(cross_triplet arm-linux-gnueabihf)
set(qemu_arch arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
