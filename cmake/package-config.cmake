# Read by cpack as it makes a package, after the build: the package's version
# is worked out then, from the sources as they are (cmake/version.cmake),
# unless PIPETAP_VERSION gave one.
include(${CMAKE_CURRENT_LIST_DIR}/version.cmake)
if(CPACK_PIPETAP_VERSION)
    set(CPACK_PACKAGE_VERSION ${CPACK_PIPETAP_VERSION})
else()
    pipetap_build_version(${CPACK_PIPETAP_SOURCE_DIR} CPACK_PACKAGE_VERSION)
endif()

# In cross builds, dpkg-shlibdeps would need the target's libc6 installed
# through multiarch, and that libc6 then takes the place of the cross
# compiler's when cross-built programs run under qemu. So the dependency
# comes from the binary itself: the newest glibc symbol version it uses
# names the oldest libc6 that has all it needs, as dpkg-shlibdeps finds.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_PIPETAP_CROSS_BINARY)
    execute_process(COMMAND ${CPACK_PIPETAP_OBJDUMP} -T ${CPACK_PIPETAP_CROSS_BINARY}
        OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    string(REGEX MATCHALL "GLIBC_[0-9]+(\\.[0-9]+)+" versions "${symbols}")
    if(failed OR NOT versions)
        message(FATAL_ERROR "no glibc symbol versions found in ${CPACK_PIPETAP_CROSS_BINARY}")
    endif()
    set(newest 0)
    foreach(version IN LISTS versions)
        string(REPLACE "GLIBC_" "" version "${version}")
        if(version VERSION_GREATER newest)
            set(newest ${version})
        endif()
    endforeach()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= ${newest})")
endif()
