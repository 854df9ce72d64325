# Shows and removes each sanitizer report in folder LOGS, and fails if there
# was one: run after the rest of the suite.
file(GLOB reports ${LOGS}/*)
foreach(report IN LISTS reports)
    file(READ ${report} text)
    message("-- ${report}\n${text}")
    file(REMOVE ${report})
endforeach()
if(reports)
    message(FATAL_ERROR "sanitizer reports above")
endif()
