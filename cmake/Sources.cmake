# pathkit_sources(<var> <dir>): every .cpp below <dir>, found again whenever the
# tree changes, so that adding a file never means editing a CMakeLists.
function(pathkit_sources var dir)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(SORT found)
  set(${var} ${found} PARENT_SCOPE)
endfunction()
