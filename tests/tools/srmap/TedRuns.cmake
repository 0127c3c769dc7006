# Two-step runs of srmap's import, with a fixed hash seed.
# Arguments: SRMAP (the program), MODE, FILES (;-separated exports), OUT
# (where to write), and for MODE generated: PROTOCOL, ROUTERS, LINKS.
#   MODE roundtrip   `import --write-scenario` of FILES, then `replay` of the
#                    written scenario: both outputs must be the same, byte for
#                    byte, and the replay's expectations must hold
#   MODE generated   `gen-ted`, then `import --check` of it: clean, and the
#                    step counts the entries the generator promises (two
#                    prefix segments per router, one adjacency segment per
#                    edge, two edges per link)
function(srmap out rc)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env VEK_HASH_SEED=1 ${SRMAP} ${ARGN}
                  OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "srmap ${ARGN} exited with ${status}:\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "roundtrip")
  srmap(imported 0 import --write-scenario ${OUT} ${FILES})
  srmap(replayed 0 replay ${OUT})
  if(NOT imported STREQUAL replayed)
    file(WRITE ${OUT}.imported "${imported}")
    file(WRITE ${OUT}.replayed "${replayed}")
    message(FATAL_ERROR "the written scenario replays differently: ${OUT}.imported, ${OUT}.replayed")
  endif()
  file(STRINGS ${OUT} expectations REGEX "^expect ")
  list(LENGTH expectations n)
  if(n EQUAL 0)
    message(FATAL_ERROR "${OUT} holds no expectations")
  endif()
elseif(MODE STREQUAL "generated")
  srmap(ignored 0 gen-ted --protocol ${PROTOCOL} --routers ${ROUTERS} --links ${LINKS} -o ${OUT})
  srmap(run 0 import --check ${OUT})
  math(EXPR prefixes "2 * ${ROUTERS}")
  math(EXPR adjacencies "2 * ${LINKS}")
  foreach(part "${ROUTERS} routers, ${prefixes} prefix segments, ${adjacencies} adjacency segments"
               "-- check: live maps equal their rebuilds")
    string(FIND "${run}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the import of ${OUT} lacks \"${part}\":\n${run}")
    endif()
  endforeach()
else()
  message(FATAL_ERROR "MODE: roundtrip or generated")
endif()
