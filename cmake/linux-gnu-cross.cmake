# Shared by the cross toolchain files cmake/TRIPLET.cmake, which set
# CMAKE_SYSTEM_PROCESSOR first. The triplet is the including file's name; its
# Debian architecture, and which libraries its tests run with, come from
# packaging/targets.
set(CMAKE_SYSTEM_NAME Linux)
get_filename_component(cross_triplet ${CMAKE_PARENT_LIST_FILE} NAME_WE)

include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
pipetap_target_field(triplet ${cross_triplet} arch PIPETAP_DEBIAN_ARCH)
pipetap_target_field(triplet ${cross_triplet} libs cross_libs)
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

# The tests run the target's programs as this machine runs them: natively,
# or under qemu through a binfmt_misc entry (see .ci/install). With the cross
# compiler's libraries, qemu finds them through QEMU_LD_PREFIX, which the
# test program passes on to the pipetap it starts; Debian's multiarch
# libraries are found where they are.
if(cross_libs STREQUAL "cross")
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env QEMU_LD_PREFIX=/usr/${cross_triplet})
endif()
