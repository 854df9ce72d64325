# 32-bit x86 Linux, with Debian's g++-i686-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-i686-linux-gnu --toolchain cmake/i686-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
