# The toolchain file for every target of packaging/targets, named by its
# target field; the rest comes from its line there:
#   cmake -S . -B build-linux-s390x --toolchain cmake/target.cmake -DPIPETAP_TARGET=linux-s390x
# (the cross presets do the same). Linux targets are built with Debian's
# cross compilers, TRIPLET-g++, this machine's own included, so that each is
# built alike on any machine; Windows targets with MinGW-w64; unshipped
# targets with zig's cross toolchain, zig c++ (zig on the PATH, or where
# PIPETAP_ZIG says).
if(NOT PIPETAP_TARGET)
    message(FATAL_ERROR "cmake/target.cmake builds for the target that -DPIPETAP_TARGET names, one of the first column of packaging/targets")
endif()
# try_compile's projects read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PIPETAP_TARGET PIPETAP_ZIG)

include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
pipetap_target_field(target ${PIPETAP_TARGET} kind target_kind)
pipetap_target_field(target ${PIPETAP_TARGET} triplet target_triplet)
pipetap_target_field(target ${PIPETAP_TARGET} arch PIPETAP_DEBIAN_ARCH)
pipetap_target_field(target ${PIPETAP_TARGET} libs target_libs)
if(NOT target_kind)
    message(FATAL_ERROR "packaging/targets has no target ${PIPETAP_TARGET}")
endif()
string(REGEX REPLACE "^[^-]*-" "" CMAKE_SYSTEM_PROCESSOR ${PIPETAP_TARGET})

if(target_kind STREQUAL "unshipped")
    find_program(PIPETAP_ZIG zig)
    if(NOT PIPETAP_ZIG)
        message(FATAL_ERROR "${PIPETAP_TARGET} is built with zig's cross toolchain: put zig on the PATH, or name it with -DPIPETAP_ZIG=path (doc/building.md says how)")
    endif()
    if(target_triplet MATCHES "-macos")
        set(CMAKE_SYSTEM_NAME Darwin)
    elseif(target_triplet MATCHES "-freebsd")
        set(CMAKE_SYSTEM_NAME FreeBSD)
    elseif(target_triplet MATCHES "-netbsd")
        set(CMAKE_SYSTEM_NAME NetBSD)
    elseif(target_triplet MATCHES "-windows")
        set(CMAKE_SYSTEM_NAME Windows)
    else()
        message(FATAL_ERROR "no system known here for zig's target ${target_triplet}")
    endif()
    # pipetap calls only the C library, so zig need not build a C++ library
    # for the target, nor, for CMake's unoptimised trial builds, the
    # UndefinedBehaviorSanitizer runtime that it adds to them. Given to the
    # compiler itself, these hold for CMake's first trials too.
    set(CMAKE_CXX_COMPILER ${PIPETAP_ZIG} c++ -target ${target_triplet} -nostdlib++
        -fno-sanitize=undefined)
    return()
endif()

set(CMAKE_C_COMPILER ${target_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${target_triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${target_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(target_kind STREQUAL "windows")
    set(CMAKE_SYSTEM_NAME Windows)
    set(CMAKE_RC_COMPILER ${target_triplet}-windres)
    # Linked statically: the .exe needs no MinGW DLLs beside it. No link
    # time in its header, so that the same source gives the same bytes.
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
else()
    set(CMAKE_SYSTEM_NAME Linux)
    # The tests run the target's programs as this machine runs them:
    # natively, or under qemu through a binfmt_misc entry (see .ci/install).
    # With the cross compiler's libraries, qemu finds them through
    # QEMU_LD_PREFIX, which the test program passes on to the pipetap it
    # starts; Debian's multiarch libraries are found where they are.
    if(target_libs STREQUAL "cross")
        set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env QEMU_LD_PREFIX=/usr/${target_triplet})
    endif()
endif()
