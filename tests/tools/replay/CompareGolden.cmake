# Runs the replay tool with a fixed hash seed and compares what it prints with
# a golden file. Arguments: REPLAY (the program), GOLDEN (the expected text),
# ARGS (the tool's arguments, ;-separated), ACTUAL (where a differing output
# is written for inspection).
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env VEK_HASH_SEED=1 ${REPLAY} ${ARGS}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "replay ${ARGS} exited with ${rc}: ${err}")
endif()
file(READ ${GOLDEN} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${ACTUAL} "${out}")
  message(FATAL_ERROR "replay ${ARGS}: output differs from ${GOLDEN}; it is in ${ACTUAL}")
endif()
