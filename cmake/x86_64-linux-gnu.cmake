# 64-bit x86 Linux, with Debian's g++-x86-64-linux-gnu (the native g++ on an
# amd64 machine): pipetap and its static build, as a release makes them on
# any machine.
#   cmake -S . -B build-x86_64-linux-gnu --toolchain cmake/x86_64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
