# Runs srmap with a fixed hash seed and checks its exit status and output.
# Arguments: SRMAP (the program), ARGS (;-separated), RC (expected status),
# OUT / ERR (text that stdout / stderr must contain; empty: not checked),
# GOLDEN (a file stdout must equal), JSON (stdout must be valid JSON), NO_OUT
# (stdout must be empty: nothing ran), ACTUAL
# (where a differing stdout is written for inspection).
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env VEK_HASH_SEED=1 ${SRMAP} ${ARGS}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc)
if(NOT rc STREQUAL RC)
  message(FATAL_ERROR "srmap ${ARGS} exited with ${rc}, not ${RC}:\n${err}")
endif()
if(NO_OUT AND NOT out STREQUAL "")
  message(FATAL_ERROR "srmap ${ARGS}: refused its input but printed a run:\n${out}")
endif()
# Fails unless `text` (the stream `name`) contains `part` (when given).
function(require_part name text part)
  string(FIND "${text}" "${part}" at)
  if(part AND at EQUAL -1)
    message(FATAL_ERROR "srmap ${ARGS}: ${name} lacks \"${part}\":\n${text}")
  endif()
endfunction()
require_part(stdout "${out}" "${OUT}")
require_part(stderr "${err}" "${ERR}")
if(JSON)
  string(JSON changes ERROR_VARIABLE bad LENGTH "${out}" changes)
  if(bad OR changes EQUAL 0)
    message(FATAL_ERROR "srmap ${ARGS}: not JSON with changes (${bad})")
  endif()
endif()
if(GOLDEN)
  file(READ ${GOLDEN} expected)
  if(NOT out STREQUAL expected)
    file(WRITE ${ACTUAL} "${out}")
    message(FATAL_ERROR "srmap ${ARGS}: output differs from ${GOLDEN}; it is in ${ACTUAL}")
  endif()
endif()
