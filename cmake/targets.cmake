# The one reader of packaging/targets, the table of targets. Fields are
# asked for by the names in the table's header line; an unknown name, or a
# line with more or fewer fields than the header, stops with an error.
#
# From a shell, each target on a line of its own, the fields in the order
# asked for:
#   cmake -P cmake/targets.cmake FIELD...
# From CMake, after include(cmake/targets.cmake):
#   pipetap_target_field(KEY VALUE FIELD OUT)
#     sets OUT to FIELD of the target whose KEY field is VALUE, or to "" if none is.

set(pipetap_targets_table ${CMAKE_CURRENT_LIST_DIR}/../packaging/targets)

# Sets rows_out to the table's rows, each its fields joined by "|", and
# names_out to the header's field names.
function(pipetap_read_targets rows_out names_out)
    file(STRINGS ${pipetap_targets_table} lines REGEX "^[^#]*[^ \t#]")
    list(POP_FRONT lines header)
    string(REGEX MATCHALL "[^ \t]+" names "${header}")
    list(LENGTH names width)
    set(rows "")
    foreach(line IN LISTS lines)
        string(REGEX MATCHALL "[^ \t]+" fields "${line}")
        list(LENGTH fields count)
        if(NOT count EQUAL width)
            message(FATAL_ERROR "packaging/targets: ${count} fields where the header names ${width}: ${line}")
        endif()
        list(JOIN fields "|" row)
        list(APPEND rows "${row}")
    endforeach()
    set(${rows_out} "${rows}" PARENT_SCOPE)
    set(${names_out} "${names}" PARENT_SCOPE)
endfunction()

# Sets out to the position of field name in names, or stops.
function(pipetap_field_index names name out)
    list(FIND names ${name} index)
    if(index LESS 0)
        message(FATAL_ERROR "packaging/targets has no field ${name}; it has: ${names}")
    endif()
    set(${out} ${index} PARENT_SCOPE)
endfunction()

function(pipetap_target_field key value field out)
    pipetap_read_targets(rows names)
    pipetap_field_index("${names}" ${key} key_at)
    pipetap_field_index("${names}" ${field} field_at)
    set(found "")
    foreach(row IN LISTS rows)
        string(REPLACE "|" ";" fields "${row}")
        list(GET fields ${key_at} key_value)
        if(key_value STREQUAL value)
            list(GET fields ${field_at} found)
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    pipetap_read_targets(rows names)
    # The fields asked for follow -P and this script's path.
    set(wanted "")
    set(field_at 0)
    math(EXPR last "${CMAKE_ARGC} - 1")
    foreach(at RANGE ${last})
        if(field_at AND at GREATER_EQUAL field_at)
            pipetap_field_index("${names}" "${CMAKE_ARGV${at}}" index)
            list(APPEND wanted ${index})
        elseif(CMAKE_ARGV${at} STREQUAL "-P")
            math(EXPR field_at "${at} + 2")
        endif()
    endforeach()
    list(LENGTH wanted wanted_count)
    if(wanted_count EQUAL 0)
        message(FATAL_ERROR "usage: cmake -P cmake/targets.cmake FIELD... (fields: ${names})")
    endif()
    set(lines "")
    foreach(row IN LISTS rows)
        string(REPLACE "|" ";" fields "${row}")
        set(picked "")
        foreach(index IN LISTS wanted)
            list(GET fields ${index} field)
            list(APPEND picked ${field})
        endforeach()
        list(JOIN picked " " line)
        list(APPEND lines "${line}")
    endforeach()
    list(JOIN lines "\n" text)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
endif()
