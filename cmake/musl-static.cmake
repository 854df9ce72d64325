# Shared by the musl toolchain files, which set musl_triplet (the folder names
# Debian's musl-dev uses) and gnu_prefix (the GNU compiler to drive) first.
#
# pipetap calls only the C library, so it is compiled against musl's headers
# alone and linked by hand as a static PIE that starts from musl's rcrt1.o:
# asked for -static-pie, Debian's musl-gcc wrapper quietly makes a dynamically
# linked PIE instead.
set(CMAKE_CXX_COMPILER ${gnu_prefix}g++)

set(musl_include /usr/include/${musl_triplet})
set(musl_lib /usr/lib/${musl_triplet})
if(NOT EXISTS ${musl_lib}/rcrt1.o OR NOT EXISTS ${musl_include}/stdio.h)
    message(FATAL_ERROR "musl for ${musl_triplet} is missing: install Debian's musl-dev for that architecture")
endif()

foreach(file include crtbeginS.o crtendS.o libgcc.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file}
        OUTPUT_VARIABLE gcc_${file} OUTPUT_STRIP_TRAILING_WHITESPACE)
endforeach()

set(CMAKE_CXX_FLAGS_INIT "-nostdinc -isystem ${musl_include} -isystem ${gcc_include}")
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> -static-pie -nostdlib ${musl_lib}/rcrt1.o ${musl_lib}/crti.o ${gcc_crtbeginS.o} <OBJECTS> -o <TARGET> <LINK_LIBRARIES> ${musl_lib}/libc.a ${gcc_libgcc.a} ${gcc_crtendS.o} ${musl_lib}/crtn.o")
