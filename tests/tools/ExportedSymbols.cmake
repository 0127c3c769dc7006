# Fails when a shared library exports a symbol outside its own namespaces: in
# particular any instantiation of the standard library (std::vector<Vek::..>,
# typeinfo for std::...), which would make callers bind to our copy.
# Arguments: LIB (the library), NAMESPACES (;-separated top namespaces that
# may be exported), NM, CXXFILT (for readable messages).
# Run: cmake -DLIB=... "-DNAMESPACES=Pavo;Vek" -DNM=nm -DCXXFILT=c++filt -P ExportedSymbols.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${NM} -D --defined-only ${LIB} OUTPUT_VARIABLE listing
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} -D --defined-only ${LIB} failed")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(count 0)
set(bad "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" symbol "${line}")
  math(EXPR count "${count} + 1")
  # A mangled name: special prefixes (typeinfo, vtable, guard, thunk, local
  # static), the nested-name opener and qualifiers, then the first name of
  # the entity as <length><identifier>. The standard library's names open
  # with an S abbreviation instead (St, Sa, Ss, ...) and never match.
  set(top "")
  if(symbol MATCHES "^_Z(T[ISV]|GV|Th[n0-9]+_|Tv[n0-9_]+_)?Z*N?[KRO]*([0-9]+)(.*)$")
    string(SUBSTRING "${CMAKE_MATCH_3}" 0 ${CMAKE_MATCH_2} top)
  endif()
  if(NOT top IN_LIST NAMESPACES)
    list(APPEND bad "${symbol}")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${LIB} exports nothing: not a listing of its symbols")
endif()
if(bad)
  list(LENGTH bad n)
  execute_process(COMMAND ${CXXFILT} ${bad} OUTPUT_VARIABLE readable)
  message(FATAL_ERROR "${LIB} exports ${n} symbols outside ${NAMESPACES}:\n${readable}")
endif()
message(STATUS "${LIB}: ${count} exported symbols, all in ${NAMESPACES}")
