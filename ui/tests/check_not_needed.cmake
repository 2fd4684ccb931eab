# cmake -DPROGRAM=<file> -DPATTERN=<regex> -P check_not_needed.cmake
# Fails when a library the program needs at start (readelf -d, NEEDED)
# matches the pattern, and when readelf cannot read it.
execute_process(COMMAND readelf -d ${PROGRAM} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT listing MATCHES "NEEDED")
  message(FATAL_ERROR "readelf -d failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${listing}")
foreach(line ${needed})
  if(line MATCHES "${PATTERN}")
    message(FATAL_ERROR "${PROGRAM} needs at start: ${line}")
  endif()
endforeach()
