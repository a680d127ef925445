# Rebuilds a 32-bit DLL's import library so that callers compiled with
# __stdcall declarations link: their references carry the decoration
# (__imp__LibMain@12) while the DLL exports the plain name (LibMain).
#
# cmake -DNM=... -DDLLTOOL=... -DEXPORTS_DEF=ZoleHead.def -DOBJECTS="a.obj;b.obj"
#       -DDLL_NAME=ZoleHead.dll -DIMPORT_LIBRARY=libZoleHead.dll.a -P stdcall-import-library.cmake
foreach(var NM DLLTOOL EXPORTS_DEF OBJECTS DLL_NAME IMPORT_LIBRARY)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "stdcall-import-library: ${var} is not set")
  endif()
endforeach()

# The export names: every line after EXPORTS that starts with a name.
file(STRINGS "${EXPORTS_DEF}" def_lines)
set(in_exports FALSE)
set(names)
foreach(line IN LISTS def_lines)
  string(STRIP "${line}" line)
  if(line MATCHES "^EXPORTS")
    set(in_exports TRUE)
  elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND names "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "stdcall-import-library: no exports in ${EXPORTS_DEF}")
endif()

# The decorated symbols the compiler produced: _name@bytes.
execute_process(COMMAND "${NM}" --defined-only --extern-only ${OBJECTS}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "stdcall-import-library: ${NM} failed")
endif()

set(def_text "LIBRARY \"${DLL_NAME}\"\nEXPORTS\n")
foreach(name IN LISTS names)
  if(NOT symbols MATCHES " T _${name}@([0-9]+)\n")
    message(FATAL_ERROR "stdcall-import-library: no __stdcall symbol for ${name}")
  endif()
  string(APPEND def_text "    ${name}@${CMAKE_MATCH_1}\n")
endforeach()

set(decorated_def "${IMPORT_LIBRARY}.def")
file(WRITE "${decorated_def}" "${def_text}")
# --kill-at: import by the plain name, keep the decorated symbol.
execute_process(COMMAND "${DLLTOOL}" --kill-at --input-def "${decorated_def}" --dllname "${DLL_NAME}"
                        --output-lib "${IMPORT_LIBRARY}"
  RESULT_VARIABLE dlltool_result)
if(NOT dlltool_result EQUAL 0)
  message(FATAL_ERROR "stdcall-import-library: ${DLLTOOL} failed")
endif()
