# Run by CPack after it has staged the files of a package: Debian wants
# manual pages and changelogs compressed, reproducibly (no name or time).
file(GLOB_RECURSE staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/man/man[1-9]/[^/]+\\.[1-9]$|/doc/[^/]+/changelog$")
foreach(path IN LISTS staged)
    execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip failed on ${path}")
    endif()
endforeach()
