# Run by CPack after it has staged the files of a package. Debian names the
# licence copyright and the upstream changelog changelog, and wants a
# changelog of the package itself, changelog.Debian: one entry for this
# version, dated by SOURCE_DATE_EPOCH when set. Manual pages and changelogs
# are compressed, reproducibly (no name or time).
set(doc ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/doc/pipetap)
file(RENAME ${doc}/LICENSE ${doc}/copyright)
file(RENAME ${doc}/CHANGELOG.md ${doc}/changelog)
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${doc}/changelog.Debian "pipetap (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * pipetap ${CPACK_PACKAGE_VERSION}; what changed is in changelog.gz.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}
")
file(GLOB_RECURSE staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/man/man[1-9]/[^/]+\\.[1-9]$|/doc/[^/]+/changelog(\\.Debian)?$")
foreach(path IN LISTS staged)
    execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip failed on ${path}")
    endif()
endforeach()
