# Compares `nm -D --defined-only LIBRARY` with the global names of the
# version script EXPECTED.
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(actual)
foreach(line ${lines})
  string(REGEX MATCH "[^ ]+$" name "${line}")
  if(name)
    list(APPEND actual ${name})
  endif()
endforeach()
list(SORT actual)

file(READ ${EXPECTED} map)
string(REGEX MATCH "global:([^}]*)local:" block "${map}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" expected "${CMAKE_MATCH_1}")
list(SORT expected)

if(NOT "${actual}" STREQUAL "${expected}")
  message(FATAL_ERROR "exports differ\n  actual:   ${actual}\n  expected: ${expected}")
endif()
message(STATUS "exports: ${actual}")
