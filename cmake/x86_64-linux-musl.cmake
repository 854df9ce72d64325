# A fully static pipetap for any x86_64 Linux, built against musl (Debian's
# musl-dev):
#   cmake -S . -B build-static --toolchain cmake/x86_64-linux-musl.cmake -DPIPETAP_TESTS=OFF
set(musl_triplet x86_64-linux-musl)
set(gnu_prefix "")
include(${CMAKE_CURRENT_LIST_DIR}/musl-static.cmake)
