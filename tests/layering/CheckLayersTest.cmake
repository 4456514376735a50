# The checker of include layers on small trees: each case writes files (path=include;include...)
# and expects the check to pass, or to fail naming the fault.
#   cmake -DWORK=<scratch dir> -P CheckLayersTest.cmake

set(checker "${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake")

# case name | expected: PASS or a text the failure must contain | files: path=include,include... & ...
set(cases
    "down_stages|PASS|tsql/run/A.cpp=tsql/base/B.h,tsql/run/C.h & tsql/base/B.h= & tsql/run/C.h=tsql/values/V.h & tsql/values/V.h="
    "interface_includes_stages|PASS|tsql/Engine.h=tsql/run/C.h,core/R.h & tsql/run/C.h= & core/R.h="
    "folder_includes_lower_folder|PASS|ado/X.cpp=tsql/Engine.h,core/R.h,QString,sqlite3.h & tsql/Engine.h= & core/R.h="
    "beside_includer|PASS|apps/tool/a.cpp=Command.h & apps/tool/Command.h="
    "stage_up|tsql/values/V.h: includes tsql/run/C.h, but engine stage run is above values|tsql/values/V.h=tsql/run/C.h & tsql/run/C.h="
    "stage_to_interface|tsql/text/Lexer.h: includes tsql/Engine.h, but engine stage interface is above text|tsql/text/Lexer.h=tsql/Engine.h & tsql/Engine.h="
    "next_stage_up|tsql/base/L.cpp: includes tsql/xml/X.h, but engine stage xml is above base|tsql/base/L.cpp=tsql/xml/X.h & tsql/xml/X.h="
    "folder_up|core/R.h: includes ado/X.h, but ado is above core|core/R.h=ado/X.h & ado/X.h="
    "engine_to_folder_up|tsql/base/L.h: includes ado/X.h, but ado is above tsql|tsql/base/L.h=ado/X.h & ado/X.h="
    "unknown_folder|folder newroom has no place in the order of folders|newroom/A.h=core/R.h & core/R.h="
    "unknown_stage|stage newstage has no place in the engine's stages|tsql/newstage/A.h= & tsql/run/C.h="
    "include_of_unknown_stage|tsql/run/C.h: includes tsql/newstage/A.h, of no known engine stage|tsql/run/C.h=tsql/newstage/A.h"
    "spaced_directive|tsql/values/V.h: includes tsql/run/C.h|tsql/values/V.h=  #  include \"tsql/run/C.h\" & tsql/run/C.h=")

set(failed "")
foreach(case IN LISTS cases)
    string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|(.*)$" _ "${case}")
    set(name "${CMAKE_MATCH_1}")
    set(expected "${CMAKE_MATCH_2}")
    set(files "${CMAKE_MATCH_3}")
    set(root "${WORK}/${name}")
    file(REMOVE_RECURSE "${root}")
    string(REPLACE " & " ";" file_list "${files}")
    foreach(entry IN LISTS file_list)
        string(REGEX MATCH "^([^=]*)=(.*)$" _ "${entry}")
        set(path "${CMAKE_MATCH_1}")
        set(includes "${CMAKE_MATCH_2}")
        set(text "")
        if(includes MATCHES "#")
            set(text "${includes}\n") # a directive written out as it stands
        elseif(NOT includes STREQUAL "")
            string(REPLACE "," ";" include_list "${includes}")
            foreach(inc IN LISTS include_list)
                string(APPEND text "#include \"${inc}\"\n")
            endforeach()
        endif()
        file(WRITE "${root}/${path}" "${text}")
    endforeach()
    execute_process(COMMAND "${CMAKE_COMMAND}" -DSRC=${root} -P "${checker}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX REPLACE "[ \n]+" " " err "${err}")
    if(expected STREQUAL "PASS")
        if(NOT result EQUAL 0)
            string(APPEND failed "${name}: expected to pass, failed with ${err}\n")
        endif()
    elseif(result EQUAL 0)
        string(APPEND failed "${name}: expected to fail with '${expected}', passed\n")
    else()
        string(FIND "${err}" "${expected}" at)
        if(at LESS 0)
            string(APPEND failed "${name}: expected '${expected}' in ${err}\n")
        endif()
    endif()
endforeach()

if(failed)
    message(FATAL_ERROR "${failed}")
endif()
