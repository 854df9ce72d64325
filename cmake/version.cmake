# pipetap's version, written here and nowhere else. CMakeLists.txt includes
# this file; scripts ask for it with
#   cmake -P cmake/version.cmake
# which prints it, or stops with an error if it is not MAJOR.MINOR.PATCH.
set(pipetap_version 1.0.0)

if(NOT pipetap_version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "cmake/version.cmake: \"${pipetap_version}\" is no version MAJOR.MINOR.PATCH")
endif()
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${pipetap_version})
endif()
