# Runs srmap with a fixed hash seed and checks its exit status and output.
# Arguments: SRMAP (the program), ARGS (;-separated), RC (expected status),
# OUT / ERR (text that stdout / stderr must contain; empty: not checked),
# GOLDEN (a file stdout must equal), JSON_CHECK (a checker program: stdout is
# JSON and agrees with the text output of the same run, srmap_json_check),
# DOT_GOLDEN (a file the --dot picture must equal), NO_OUT (stdout must be
# empty: nothing ran), ACTUAL (where a differing output is written for
# inspection).
if(DOT_GOLDEN)
  list(PREPEND ARGS --dot ${ACTUAL}.dot)
endif()
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
if(JSON_CHECK)
  # The same run as text: the JSON must tell what the text shows.
  string(REPLACE "--format;json" "--format;text" textArgs "${ARGS}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env VEK_HASH_SEED=1 ${SRMAP} ${textArgs}
                  OUTPUT_FILE ${ACTUAL}.txt ERROR_QUIET)
  file(WRITE ${ACTUAL}.json "${out}")
  execute_process(COMMAND ${JSON_CHECK} ${ACTUAL}.json ${ACTUAL}.txt RESULT_VARIABLE bad
                  ERROR_VARIABLE why)
  if(bad)
    message(FATAL_ERROR "srmap ${ARGS}: its JSON does not hold: ${why}")
  endif()
endif()
if(DOT_GOLDEN)
  file(READ ${DOT_GOLDEN} expected)
  file(READ ${ACTUAL}.dot dot)
  if(NOT dot STREQUAL expected)
    message(FATAL_ERROR "srmap ${ARGS}: picture differs from ${DOT_GOLDEN}; it is in ${ACTUAL}.dot")
  endif()
endif()
if(GOLDEN)
  file(READ ${GOLDEN} expected)
  if(NOT out STREQUAL expected)
    file(WRITE ${ACTUAL} "${out}")
    message(FATAL_ERROR "srmap ${ARGS}: output differs from ${GOLDEN}; it is in ${ACTUAL}")
  endif()
endif()
