# A fully static pipetap for any aarch64 Linux, built against musl (Debian's
# musl-dev:arm64, through multiarch) with g++-aarch64-linux-gnu:
#   cmake -S . -B build-static-arm64 --toolchain cmake/aarch64-linux-musl.cmake -DPIPETAP_TESTS=OFF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(musl_triplet aarch64-linux-musl)
set(gnu_prefix aarch64-linux-gnu-)
include(${CMAKE_CURRENT_LIST_DIR}/musl-static.cmake)
