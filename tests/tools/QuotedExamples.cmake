# Checks that the usage examples quoted in headers and documents are code the
# build compiles:
#  - every block of examples/*.cpp between "// example: <file>" and
#    "// end example" must stand in <file> (as comment lines in a header);
#  - every ```cpp block of README.md and docs/*.md must stand in a compiled
#    source (Pathkit/, platform/, tools/, examples/).
# Lines are compared as token text: indentation, alignment and line breaks,
# and "//" at the start of a line, are ignored.
# Run: cmake -DROOT=<source dir> -P QuotedExamples.cmake

function(tokens text out)
  string(REGEX REPLACE "\n[ \t]*(//[ \t]*)*" "\n" text "\n${text}\n")
  string(REGEX REPLACE "[ \t\n]+" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `block` (quoted in `where`) must stand in `text` (of `what`).
function(require_quoted block text what where)
  tokens("${block}" wanted)
  tokens("${text}" have)
  string(FIND "${have}" "${wanted}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "${where}: the example is not in ${what}:\n${block}")
  endif()
endfunction()

set(blocks 0)
file(GLOB examples ${ROOT}/examples/*.cpp)
foreach(src IN LISTS examples)
  file(READ ${src} text)
  string(FIND "${text}" "// example: " at)
  while(NOT at EQUAL -1)
    string(SUBSTRING "${text}" ${at} -1 text)
    string(FIND "${text}" "\n" eol)
    math(EXPR nameLength "${eol} - 12")
    string(SUBSTRING "${text}" 12 ${nameLength} quotedIn)
    string(FIND "${text}" "// end example" end)
    math(EXPR blockLength "${end} - ${eol}")
    string(SUBSTRING "${text}" ${eol} ${blockLength} block)
    file(READ ${ROOT}/${quotedIn} quotingText)
    require_quoted("${block}" "${quotingText}" ${quotedIn} ${src})
    math(EXPR blocks "${blocks} + 1")
    string(SUBSTRING "${text}" ${end} -1 text)
    string(FIND "${text}" "// example: " at)
  endwhile()
endforeach()

file(GLOB_RECURSE compiled ${ROOT}/Pathkit/*.cpp ${ROOT}/platform/*.cpp ${ROOT}/tools/*.cpp
     ${ROOT}/examples/*.cpp)
set(sources "")
foreach(src IN LISTS compiled)
  file(READ ${src} text)
  string(APPEND sources "${text}\n")
endforeach()
file(GLOB documents ${ROOT}/README.md ${ROOT}/docs/*.md)
foreach(doc IN LISTS documents)
  file(READ ${doc} text)
  string(FIND "${text}" "```cpp\n" at)
  while(NOT at EQUAL -1)
    math(EXPR at "${at} + 7")
    string(SUBSTRING "${text}" ${at} -1 text)
    string(FIND "${text}" "```" end)
    string(SUBSTRING "${text}" 0 ${end} block)
    require_quoted("${block}" "${sources}" "the compiled sources" ${doc})
    math(EXPR blocks "${blocks} + 1")
    string(SUBSTRING "${text}" ${end} -1 text)
    string(FIND "${text}" "```cpp\n" at)
  endwhile()
endforeach()
message(STATUS "${blocks} quoted examples checked")
