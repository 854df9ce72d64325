# Run by CTest: fails unless the manual page and the newest release in the
# changelog carry the project's version, given as VERSION, from the sources
# in SOURCE_DIR.
file(STRINGS ${SOURCE_DIR}/doc/pipetap.1 title REGEX "^\\.TH ")
file(STRINGS ${SOURCE_DIR}/CHANGELOG.md releases REGEX "^## [0-9]")
list(GET releases 0 newest)
set(disagree "")
if(NOT title MATCHES "\"pipetap ${VERSION}\"")
    string(APPEND disagree "\n  doc/pipetap.1: ${title}")
endif()
if(NOT newest MATCHES "^## ${VERSION} - [0-9]+-[0-9]+-[0-9]+$")
    string(APPEND disagree "\n  CHANGELOG.md: ${newest}")
endif()
if(disagree)
    message(FATAL_ERROR "the version is ${VERSION} (cmake/version.cmake), but:${disagree}")
endif()
