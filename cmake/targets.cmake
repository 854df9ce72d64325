# The one reader of packaging/targets, the table of targets. Fields are
# asked for by the names in the table's header line; an unknown name, or a
# line with more or fewer fields than the header, stops with an error.
#
# From a shell, each target on a line of its own, the fields in the order
# asked for:
#   cmake -P cmake/targets.cmake FIELD...
# From CMake, after include(cmake/targets.cmake):
#   pipetap_target_column(FIELD OUT)
#     sets OUT to the list of FIELD of every target, in the table's order;
#   pipetap_target_field(KEY VALUE FIELD OUT)
#     sets OUT to FIELD of the target whose KEY field is VALUE, or to "" if none is.

set(pipetap_targets_table ${CMAKE_CURRENT_LIST_DIR}/../packaging/targets)

# Sets lines_out to the table's lines, and names_out to its header's names.
function(pipetap_read_targets lines_out names_out)
    file(STRINGS ${pipetap_targets_table} lines REGEX "^[^#]*[^ \t#]")
    list(POP_FRONT lines header)
    string(REGEX MATCHALL "[^ \t]+" names "${header}")
    set(${lines_out} "${lines}" PARENT_SCOPE)
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

# Sets fields_out to the fields of line, or stops if it has more or fewer
# than the header names.
function(pipetap_line_fields line names fields_out)
    string(REGEX MATCHALL "[^ \t]+" fields "${line}")
    list(LENGTH fields count)
    list(LENGTH names width)
    if(NOT count EQUAL width)
        message(FATAL_ERROR "packaging/targets: ${count} fields where the header names ${width}: ${line}")
    endif()
    set(${fields_out} "${fields}" PARENT_SCOPE)
endfunction()

function(pipetap_target_column field out)
    pipetap_read_targets(lines names)
    pipetap_field_index("${names}" ${field} at)
    set(column "")
    foreach(line IN LISTS lines)
        pipetap_line_fields("${line}" "${names}" fields)
        list(GET fields ${at} value)
        list(APPEND column ${value})
    endforeach()
    set(${out} "${column}" PARENT_SCOPE)
endfunction()

function(pipetap_target_field key value field out)
    pipetap_read_targets(lines names)
    pipetap_field_index("${names}" ${key} key_at)
    pipetap_field_index("${names}" ${field} field_at)
    set(found "")
    foreach(line IN LISTS lines)
        pipetap_line_fields("${line}" "${names}" fields)
        list(GET fields ${key_at} key_value)
        if(key_value STREQUAL value)
            list(GET fields ${field_at} found)
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    # The fields asked for follow -P and this script's path.
    set(wanted "")
    set(field_at 0)
    math(EXPR last "${CMAKE_ARGC} - 1")
    foreach(at RANGE ${last})
        if(field_at AND at GREATER_EQUAL field_at)
            list(APPEND wanted ${CMAKE_ARGV${at}})
        elseif(CMAKE_ARGV${at} STREQUAL "-P")
            math(EXPR field_at "${at} + 2")
        endif()
    endforeach()
    if(NOT wanted)
        pipetap_read_targets(lines names)
        message(FATAL_ERROR "usage: cmake -P cmake/targets.cmake FIELD... (fields: ${names})")
    endif()
    set(columns "")
    foreach(field IN LISTS wanted)
        pipetap_target_column(${field} column_${field})
        list(APPEND columns column_${field})
    endforeach()
    list(GET columns 0 first)
    list(LENGTH ${first} count)
    math(EXPR last "${count} - 1")
    set(lines "")
    foreach(row RANGE ${last})
        set(picked "")
        foreach(column IN LISTS columns)
            list(GET ${column} ${row} value)
            list(APPEND picked ${value})
        endforeach()
        list(JOIN picked " " line)
        list(APPEND lines "${line}")
    endforeach()
    list(JOIN lines "\n" text)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${text}")
endif()
