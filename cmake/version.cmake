# pipetap's version, written here and nowhere else: the version that the
# next release will carry, made from the commit tagged vVERSION.
set(pipetap_version 1.0.0)

if(NOT pipetap_version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "cmake/version.cmake: \"${pipetap_version}\" is no version MAJOR.MINOR.PATCH")
endif()

# What a build calls itself, by one rule: VERSION for the commit tagged
# vVERSION with nothing changed, and for anything else a snapshot,
#   VERSION~gitDATE.TIME.COMMIT
# named after its commit (its first 12 hex digits) and the commit's time in
# UTC, and ending in .dirty when tracked files have changed. As a Debian
# version a snapshot sorts after the snapshots of older commits and before
# the release of VERSION. Where the sources come from a clone, git tells;
# in a source tarball made by git archive, cmake/commit records the commit,
# its time and its tag. Sources that are neither are VERSION~unknown.

# Sets out to the snapshot version of commit (full hash) made at time (Unix).
function(pipetap_snapshot_version commit time out)
    # string(TIMESTAMP) tells the time of SOURCE_DATE_EPOCH when it is set.
    set(saved "$ENV{SOURCE_DATE_EPOCH}")
    set(ENV{SOURCE_DATE_EPOCH} ${time})
    string(TIMESTAMP date "%Y%m%d.%H%M%S" UTC)
    if(saved STREQUAL "")
        unset(ENV{SOURCE_DATE_EPOCH})
    else()
        set(ENV{SOURCE_DATE_EPOCH} "${saved}")
    endif()
    string(SUBSTRING ${commit} 0 12 short)
    set(${out} "${pipetap_version}~git${date}.${short}" PARENT_SCOPE)
endfunction()

# Sets commit_out, time_out and tag_out (the release tag on the commit, or
# "") for the sources in source_dir, and dirty_out to whether tracked files
# differ from the commit; commit_out is "" when nothing tells.
function(pipetap_source_commit source_dir commit_out time_out tag_out dirty_out)
    set(commit "")
    set(time "")
    set(tag "")
    set(dirty FALSE)
    find_program(pipetap_git git)
    if(pipetap_git)
        execute_process(COMMAND ${pipetap_git} -C ${source_dir} rev-parse --show-toplevel
            OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(pipetap_git AND top)
        file(REAL_PATH ${top} top)
        file(REAL_PATH ${source_dir} source)
    endif()
    if(pipetap_git AND top AND top STREQUAL source)
        execute_process(COMMAND ${pipetap_git} -C ${source_dir} log -1 --format=%H%n%ct
            OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE)
        string(REPLACE "\n" ";" head "${head}")
        list(GET head 0 commit)
        list(GET head 1 time)
        execute_process(COMMAND ${pipetap_git} -C ${source_dir} tag --points-at HEAD
            OUTPUT_VARIABLE tags OUTPUT_STRIP_TRAILING_WHITESPACE)
        string(REPLACE "\n" ";" tags "${tags}")
        list(FIND tags "v${pipetap_version}" found)
        if(found GREATER_EQUAL 0)
            set(tag v${pipetap_version})
        endif()
        execute_process(COMMAND ${pipetap_git} -C ${source_dir} status --porcelain
            --untracked-files=no OUTPUT_VARIABLE changes)
        if(changes)
            set(dirty TRUE)
        endif()
    else()
        # "COMMIT TIME TAG", written by git archive (see .gitattributes); the
        # tag is git describe's, which only names a commit it tags exactly.
        file(READ ${source_dir}/cmake/commit record)
        if(record MATCHES "^([0-9a-f]+) ([0-9]+) ?([^ \n]*)")
            set(commit ${CMAKE_MATCH_1})
            set(time ${CMAKE_MATCH_2})
            set(tag ${CMAKE_MATCH_3})
        endif()
    endif()
    set(${commit_out} "${commit}" PARENT_SCOPE)
    set(${time_out} "${time}" PARENT_SCOPE)
    set(${tag_out} "${tag}" PARENT_SCOPE)
    set(${dirty_out} ${dirty} PARENT_SCOPE)
endfunction()

# Sets out to what a build of the sources in source_dir calls itself.
function(pipetap_build_version source_dir out)
    pipetap_source_commit(${source_dir} commit time tag dirty)
    if(commit STREQUAL "")
        set(version "${pipetap_version}~unknown")
    elseif(tag STREQUAL "v${pipetap_version}" AND NOT dirty)
        set(version ${pipetap_version})
    else()
        pipetap_snapshot_version(${commit} ${time} version)
        if(dirty)
            string(APPEND version ".dirty")
        endif()
    endif()
    set(${out} ${version} PARENT_SCOPE)
endfunction()

# From a shell, the version of the sources this file is in:
#   cmake -P cmake/version.cmake             VERSION, as written above
#   cmake -P cmake/version.cmake build       what a build of them calls itself
#   cmake -P cmake/version.cmake snapshot    their commit's snapshot version, even
#                                            for the release's commit
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    get_filename_component(pipetap_source ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
    math(EXPR last "${CMAKE_ARGC} - 1")
    set(asked "${CMAKE_ARGV${last}}")
    if(asked STREQUAL "build")
        pipetap_build_version(${pipetap_source} printed)
    elseif(asked STREQUAL "snapshot")
        pipetap_source_commit(${pipetap_source} commit time tag dirty)
        if(commit STREQUAL "")
            message(FATAL_ERROR "no commit is known for the sources in ${pipetap_source}")
        endif()
        pipetap_snapshot_version(${commit} ${time} printed)
    elseif(asked STREQUAL CMAKE_SCRIPT_MODE_FILE OR asked MATCHES "version\\.cmake$")
        set(printed ${pipetap_version})
    else()
        message(FATAL_ERROR "usage: cmake -P cmake/version.cmake [build|snapshot]")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${printed})
endif()
