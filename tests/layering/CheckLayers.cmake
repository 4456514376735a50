# Fails when an include runs back up: a file of src/ may include files of its own layer and of
# layers below it, never of one above. Two orders are checked, each lowest first:
#   the folders of src/ (a file's folder is the first part of its path), and
#   the stages of the engine inside src/tsql (a file's stage is its folder there; the files
#   directly in src/tsql are the engine's interface, above every stage).
# A folder or stage missing from its order fails too, so that a new one is given its place.
#
#   cmake -DSRC=<dir> -P CheckLayers.cmake
# SRC is the tree to check (src/, or a small tree of the same shape in the checker's own test).

set(FOLDERS core tables tsql ado tds host language tree check editing diagnostics instructions editor component apps)
set(ENGINE_STAGES base xml values functions text bind sql run compiled interface)

if(NOT SRC OR NOT IS_DIRECTORY "${SRC}")
    message(FATAL_ERROR "CheckLayers: SRC must name the source tree to check")
endif()

# The folder of a path relative to SRC and its rank in FOLDERS (-1 when unknown).
function(folder_rank path out_name out_rank)
    string(REGEX REPLACE "/.*" "" name "${path}")
    list(FIND FOLDERS "${name}" rank)
    set(${out_name} "${name}" PARENT_SCOPE)
    set(${out_rank} ${rank} PARENT_SCOPE)
endfunction()

# The engine stage of a path under tsql/ and its rank in ENGINE_STAGES (-1 when unknown).
function(stage_rank path out_name out_rank)
    if(path MATCHES "^tsql/([^/]+)/")
        set(name "${CMAKE_MATCH_1}")
    else()
        set(name "interface") # the files directly in src/tsql
    endif()
    list(FIND ENGINE_STAGES "${name}" rank)
    set(${out_name} "${name}" PARENT_SCOPE)
    set(${out_rank} ${rank} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
list(SORT sources)
set(faults "")
foreach(file IN LISTS sources)
    if(NOT file MATCHES "/")
        continue() # files directly in SRC belong to no folder
    endif()
    folder_rank("${file}" from_folder from_folder_rank)
    if(from_folder_rank LESS 0)
        string(APPEND faults "${file}: folder ${from_folder} has no place in the order of folders\n")
        continue()
    endif()
    if(from_folder STREQUAL "tsql")
        stage_rank("${file}" from_stage from_stage_rank)
        if(from_stage_rank LESS 0)
            string(APPEND faults "${file}: stage ${from_stage} has no place in the engine's stages\n")
            continue()
        endif()
    endif()
    file(STRINGS "${SRC}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" target "${line}")
        if(NOT target MATCHES "/")
            continue() # a file beside the includer: the same layer
        endif()
        folder_rank("${target}" to_folder to_folder_rank)
        if(to_folder_rank LESS 0)
            continue() # not a file of SRC (a header of a library)
        endif()
        if(to_folder_rank GREATER from_folder_rank)
            string(APPEND faults "${file}: includes ${target}, but ${to_folder} is above ${from_folder}\n")
        elseif(from_folder STREQUAL "tsql" AND to_folder STREQUAL "tsql")
            stage_rank("${target}" to_stage to_stage_rank)
            if(to_stage_rank LESS 0)
                string(APPEND faults "${file}: includes ${target}, of no known engine stage\n")
            elseif(to_stage_rank GREATER from_stage_rank)
                string(APPEND faults
                       "${file}: includes ${target}, but engine stage ${to_stage} is above ${from_stage}\n")
            endif()
        endif()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "Includes running back up (folders: ${FOLDERS}; engine stages: ${ENGINE_STAGES}):\n${faults}")
endif()
list(LENGTH sources count)
message(STATUS "CheckLayers: ${count} files, no include runs back up")
