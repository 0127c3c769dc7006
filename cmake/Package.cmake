# Packaging: SONAMEs, the exported symbol sets, and what `cmake --install`
# puts down — headers, the two shared libraries, a CMake package
# (find_package(Pathkit CONFIG) -> Pathkit::pathkit, Pathkit::platform) and
# a pkg-config file (pathkit.pc) — and the `uninstall` target that removes
# it again.
include(CMakePackageConfigHelpers)

# Each library exports what its version script names (cmake/*.map) and keeps
# everything else local, so callers see the interface and not the standard
# library's or the platform's instantiations compiled into it.
foreach(lib pathkit_platform pathkit)
  set(map ${CMAKE_CURRENT_SOURCE_DIR}/cmake/${lib}.map)
  set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
                                          LINK_DEPENDS ${map} INSTALL_RPATH "$ORIGIN")
  target_link_options(${lib} PRIVATE "LINKER:--version-script=${map}")
  # Every symbol resolved at link time, except under the sanitizers, whose
  # runtime the executable brings.
  if(NOT PATHKIT_SANITIZE AND NOT PATHKIT_TSAN)
    target_link_options(${lib} PRIVATE "LINKER:--no-undefined")
  endif()
endforeach()
set_target_properties(pathkit_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(pathkit PROPERTIES EXPORT_NAME pathkit)

install(TARGETS pathkit_platform pathkit EXPORT PathkitTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/platform/ ${CMAKE_CURRENT_SOURCE_DIR}/Pathkit
        DESTINATION ${PATHKIT_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

set(PATHKIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pathkit)
install(EXPORT PathkitTargets NAMESPACE Pathkit:: DESTINATION ${PATHKIT_CMAKE_DIR})
configure_package_config_file(cmake/PathkitConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/PathkitConfig.cmake
                              INSTALL_DESTINATION ${PATHKIT_CMAKE_DIR})
# 0.x: a minor version may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PathkitConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PathkitConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PathkitConfigVersion.cmake
        DESTINATION ${PATHKIT_CMAKE_DIR})

string(REGEX REPLACE "[^/]+" ".." PATHKIT_PC_UP ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
configure_file(cmake/pathkit.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pathkit.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pathkit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# `cmake --build <dir> --target uninstall` removes what the last install from
# <dir> put down (its install_manifest.txt), wherever --prefix sent it.
configure_file(cmake/Uninstall.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/Uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_BINARY_DIR}/Uninstall.cmake
                  COMMENT "Removing the installed Pathkit files")
