# Writes the import library of the 32-bit kestrelcore.dll: each export of DEF under its
# stdcall-decorated name (NAME@BYTES, read from the objects), bound to the undecorated name
# the DLL exports (dlltool --kill-at), at its ordinal.
# Inputs: NM, DLLTOOL, DEF, OBJECTS ("|"-separated), DLL_NAME, DECORATED_DEF, IMPORT_LIBRARY.
string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND "${NM}" -g --defined-only ${objects}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on the Kestrelcore objects")
endif()

file(STRINGS "${DEF}" lines)
set(exports "")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+@([0-9]+)")
        continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    set(ordinal "${CMAKE_MATCH_2}")
    if(NOT symbols MATCHES " T _${name}@([0-9]+)\n")
        message(FATAL_ERROR "no stdcall symbol for ${name} in the Kestrelcore objects")
    endif()
    string(APPEND exports "    ${name}@${CMAKE_MATCH_1} @${ordinal}\n")
endforeach()
if(exports STREQUAL "")
    message(FATAL_ERROR "no exports in ${DEF}")
endif()

file(WRITE "${DECORATED_DEF}" "LIBRARY ${DLL_NAME}\nEXPORTS\n${exports}")
execute_process(COMMAND "${DLLTOOL}" --kill-at -d "${DECORATED_DEF}" -D "${DLL_NAME}"
        -l "${IMPORT_LIBRARY}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${DLLTOOL} failed to write ${IMPORT_LIBRARY}")
endif()
