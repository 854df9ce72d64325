# IBM Z Linux, big-endian, with Debian's g++-s390x-linux-gnu: pipetap, its tests
# (run natively or under qemu, see .ci/install) and its static build.
#   cmake -S . -B build-s390x-linux-gnu --toolchain cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
