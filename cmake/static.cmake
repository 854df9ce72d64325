# Included for -DPIPETAP_STATIC=musl or glibc: pipetap linked fully static,
# needing no loader and no library, for any Linux on its machine. The
# target's line in packaging/targets, found by the compiler's triplet, says
# where its musl is and whether the result is a static PIE.
#
# musl: pipetap calls only the C library, so it is compiled against musl's
# headers alone and linked by hand, started from musl's rcrt1.o as a static
# PIE (asked for -static-pie, Debian's musl-gcc wrapper quietly makes a
# dynamically linked PIE instead), or from crt1.o as a plain static program.
#
# glibc, where Debian has no musl: plain -static (Debian's glibc cross
# packages have no rcrt1.o to start a static PIE).
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
    OUTPUT_VARIABLE static_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
pipetap_target_field(triplet "${static_triplet}" pie static_pie)
# "no" is false to if() itself, hence STREQUAL.
if(static_pie STREQUAL "")
    message(FATAL_ERROR "packaging/targets has no line for ${static_triplet}, the compiler's triplet")
endif()
if(PIPETAP_STATIC STREQUAL "glibc")
    set(static_pie no)
endif()
if(static_pie STREQUAL "no")
    set_target_properties(pipetap PROPERTIES POSITION_INDEPENDENT_CODE OFF)
    target_compile_options(pipetap PRIVATE -fno-pie)
endif()

if(PIPETAP_STATIC STREQUAL "musl")
    pipetap_target_field(triplet ${static_triplet} musl musl_folder)
    set(musl_include /usr/include/${musl_folder})
    set(musl_lib /usr/lib/${musl_folder})
    if(musl_folder STREQUAL "-" OR NOT EXISTS ${musl_lib}/rcrt1.o OR NOT EXISTS ${musl_include}/stdio.h)
        message(FATAL_ERROR "musl for ${static_triplet} is missing: install Debian's musl-dev for that architecture")
    endif()
    foreach(file include crtbeginS.o crtendS.o crtbeginT.o crtend.o libgcc.a)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file}
            OUTPUT_VARIABLE gcc_${file} OUTPUT_STRIP_TRAILING_WHITESPACE)
    endforeach()
    target_compile_options(pipetap BEFORE PRIVATE -nostdinc "SHELL:-isystem ${musl_include}"
        "SHELL:-isystem ${gcc_include}")
    if(static_pie STREQUAL "yes")
        set(static_link "-static-pie ${musl_lib}/rcrt1.o ${musl_lib}/crti.o ${gcc_crtbeginS.o}")
        set(crtend ${gcc_crtendS.o})
    else()
        set(static_link "-static -no-pie ${musl_lib}/crt1.o ${musl_lib}/crti.o ${gcc_crtbeginT.o}")
        set(crtend ${gcc_crtend.o})
    endif()
    # libgcc calls back into the C library (raise, on ARM), hence the group.
    set(CMAKE_CXX_LINK_EXECUTABLE
        "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> -nostdlib ${static_link} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> -Wl,--start-group ${musl_lib}/libc.a ${gcc_libgcc.a} -Wl,--end-group ${crtend} ${musl_lib}/crtn.o")
elseif(PIPETAP_STATIC STREQUAL "glibc")
    target_link_options(pipetap PRIVATE -static -no-pie)
else()
    message(FATAL_ERROR "PIPETAP_STATIC is musl or glibc, not ${PIPETAP_STATIC}")
endif()
