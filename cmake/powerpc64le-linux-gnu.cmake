# 64-bit little-endian POWER Linux, with Debian's g++-powerpc64le-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-powerpc64le-linux-gnu --toolchain cmake/powerpc64le-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
