# Shared by the cross toolchain files cmake/TRIPLET.cmake, which set
# CMAKE_SYSTEM_PROCESSOR first. The triplet is the including file's name; its
# Debian architecture and qemu program come from packaging/targets.
set(CMAKE_SYSTEM_NAME Linux)
get_filename_component(cross_triplet ${CMAKE_PARENT_LIST_FILE} NAME_WE)

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../packaging/targets targets REGEX "^[^#]")
foreach(line IN LISTS targets)
    string(REGEX MATCHALL "[^ \t]+" fields "${line}")
    list(GET fields 2 triplet)
    if(triplet STREQUAL cross_triplet)
        list(GET fields 0 PIPETAP_DEBIAN_ARCH)
        list(GET fields 3 qemu)
    endif()
endforeach()
if(NOT PIPETAP_DEBIAN_ARCH)
    message(FATAL_ERROR "${cross_triplet} is not in packaging/targets")
endif()

set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the test program; pipetap, started by it, finds the target's C library
# through QEMU_LD_PREFIX, which the emulator passes on. Where the machine runs
# the target's programs itself (i386 on x86-64), they need the target's
# libraries installed through multiarch instead.
if(NOT qemu STREQUAL "-")
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env QEMU_LD_PREFIX=/usr/${cross_triplet} ${qemu})
endif()
