# Run by CTest: fails unless the newest section of the changelog is for the
# project's version, given as VERSION (cmake/version.cmake), from the sources
# in SOURCE_DIR: "## VERSION - unreleased" until its release, then dated.
file(STRINGS ${SOURCE_DIR}/CHANGELOG.md sections REGEX "^## ")
list(GET sections 0 newest)
if(NOT newest MATCHES "^## ${VERSION} - ([0-9]+-[0-9]+-[0-9]+|unreleased)$")
    message(FATAL_ERROR "the version is ${VERSION} (cmake/version.cmake), but the newest section of CHANGELOG.md is: ${newest}")
endif()
