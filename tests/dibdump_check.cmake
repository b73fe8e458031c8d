# Runs dibdump (or the picture generator) and checks what it leaves behind.
#   DIBDUMP, INPUT, OUTPUT and EXPECTED: the PPM must equal EXPECTED;
#   DIBDUMP, INPUT, OUTPUT and EXPECTED_ERROR: exit 1, that line on stderr, no OUTPUT;
#   GENERATOR, OUTPUT and EXPECTED: the written file must equal EXPECTED.
file(REMOVE ${OUTPUT})
if(DEFINED GENERATOR)
  execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE status ERROR_VARIABLE errors)
else()
  execute_process(COMMAND ${DIBDUMP} ${INPUT} ${OUTPUT} RESULT_VARIABLE status ERROR_VARIABLE errors)
endif()

if(DEFINED EXPECTED_ERROR)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1")
  endif()
  if(NOT errors STREQUAL "${EXPECTED_ERROR}\n")
    message(FATAL_ERROR "stderr was '${errors}', expected '${EXPECTED_ERROR}'")
  endif()
  if(EXISTS ${OUTPUT})
    message(FATAL_ERROR "${OUTPUT} written despite the refusal")
  endif()
  return()
endif()

if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}: ${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}")
endif()
