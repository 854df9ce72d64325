# Included for -DPIPETAP_STATIC=musl or glibc: pipetap linked fully static,
# needing no loader and no library, for any Linux on its machine.
#
# musl: pipetap calls only the C library, so it is compiled against musl's
# headers alone and linked by hand as a static PIE that starts from musl's
# rcrt1.o (asked for -static-pie, Debian's musl-gcc wrapper quietly makes a
# dynamically linked PIE instead). Debian keeps musl for each architecture in
# its multiarch folders with "musl" for "gnu" (x86_64-linux-musl,
# arm-linux-musleabihf, i386-linux-musl; mips64el-linux-musl for
# mips64el-linux-gnuabi64). GNU ld makes no static PIE for 32-bit ARM or
# MIPS (asked for one, it makes a dynamically linked PIE), so there it is a
# plain static program that starts from crt1.o.
#
# glibc, where Debian has no musl: plain -static. Debian's glibc cross
# packages have no rcrt1.o, so this one is not position independent.
if(PIPETAP_STATIC STREQUAL "musl")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-multiarch
        OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX REPLACE "-gnu(abi64)?" "-musl" musl_triplet "${multiarch}")
    set(musl_include /usr/include/${musl_triplet})
    set(musl_lib /usr/lib/${musl_triplet})
    if(NOT EXISTS ${musl_lib}/rcrt1.o OR NOT EXISTS ${musl_include}/stdio.h)
        message(FATAL_ERROR "musl for ${musl_triplet} is missing: install Debian's musl-dev for that architecture")
    endif()
    foreach(file include crtbeginS.o crtendS.o crtbeginT.o crtend.o libgcc.a)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file}
            OUTPUT_VARIABLE gcc_${file} OUTPUT_STRIP_TRAILING_WHITESPACE)
    endforeach()
    target_compile_options(pipetap BEFORE PRIVATE -nostdinc "SHELL:-isystem ${musl_include}"
        "SHELL:-isystem ${gcc_include}")
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|mips)")
        set(static_link "-static -no-pie ${musl_lib}/crt1.o ${musl_lib}/crti.o ${gcc_crtbeginT.o}")
        set(crtend ${gcc_crtend.o})
        set_target_properties(pipetap PROPERTIES POSITION_INDEPENDENT_CODE OFF)
        target_compile_options(pipetap PRIVATE -fno-pie)
    else()
        set(static_link "-static-pie ${musl_lib}/rcrt1.o ${musl_lib}/crti.o ${gcc_crtbeginS.o}")
        set(crtend ${gcc_crtendS.o})
    endif()
    # libgcc calls back into the C library (raise, on ARM), hence the group.
    set(CMAKE_CXX_LINK_EXECUTABLE
        "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> -nostdlib ${static_link} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> -Wl,--start-group ${musl_lib}/libc.a ${gcc_libgcc.a} -Wl,--end-group ${crtend} ${musl_lib}/crtn.o")
elseif(PIPETAP_STATIC STREQUAL "glibc")
    set_target_properties(pipetap PROPERTIES POSITION_INDEPENDENT_CODE OFF)
    target_compile_options(pipetap PRIVATE -fno-pie)
    target_link_options(pipetap PRIVATE -static -no-pie)
else()
    message(FATAL_ERROR "PIPETAP_STATIC is musl or glibc, not ${PIPETAP_STATIC}")
endif()
