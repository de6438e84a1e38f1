# Installation, CMake package, pkg-config file and Debian package.
#
# Layout under the prefix (GNUInstallDirs; with the prefix /usr of the Debian package, LIBDIR is lib):
#   ${CMAKE_INSTALL_LIBDIR}/libnyx.so.0.1.0, libnyx.so.0 (SONAME), libnyx.so (link for -lnyx)
#   ${CMAKE_INSTALL_INCLUDEDIR}/nyx/*.h          public headers; compile with -I<includedir>/nyx
#   ${CMAKE_INSTALL_BINDIR}/nyx                   the command-line tool
#   ${CMAKE_INSTALL_LIBDIR}/cmake/nyx/            nyxConfig.cmake: find_package(nyx) gives nyx::nyx
#   ${CMAKE_INSTALL_LIBDIR}/pkgconfig/nyx.pc      pkg-config --cflags --libs nyx
#   ${CMAKE_INSTALL_LIBDIR}/python3/dist-packages/nyx   the Python package (Debian's place under /usr)
# Programs that later parts of the library add (compilers, converters) go to BINDIR beside the
# tool; client libraries go to LIBDIR beside libnyx with their headers in INCLUDEDIR/nyx.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(NYX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nyx)
set(NYX_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

file(GLOB nyx_public_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
install(FILES ${nyx_public_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nyx COMPONENT nyx)

if(NOT TARGET nyx)
  return()
endif()
install(TARGETS nyx EXPORT nyxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT nyx
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nyx)
if(TARGET nyx_tool)
  # The installed tool finds the installed library beside its own folder, wherever the prefix is.
  set_target_properties(nyx_tool PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS nyx_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT nyx)
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/nyx DESTINATION ${CMAKE_INSTALL_LIBDIR}/python3/dist-packages
  COMPONENT nyx PATTERN __pycache__ EXCLUDE)

install(EXPORT nyxTargets NAMESPACE nyx:: DESTINATION ${NYX_CMAKE_DIR} COMPONENT nyx)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/nyxConfig.cmake.in
  ${PROJECT_BINARY_DIR}/nyxConfig.cmake INSTALL_DESTINATION ${NYX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/nyxConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/nyxConfig.cmake ${PROJECT_BINARY_DIR}/nyxConfigVersion.cmake
  DESTINATION ${NYX_CMAKE_DIR} COMPONENT nyx)

# nyx.pc names its prefix relative to its own folder, so that the same file serves any prefix
# given to `cmake --install --prefix` and the Debian package.
file(RELATIVE_PATH NYX_PC_UP /nyxprefix/${NYX_PKGCONFIG_DIR} /nyxprefix)
string(REGEX REPLACE "/$" "" NYX_PC_UP "${NYX_PC_UP}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/nyx.pc.in ${PROJECT_BINARY_DIR}/nyx.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nyx.pc DESTINATION ${NYX_PKGCONFIG_DIR} COMPONENT nyx)

# `cpack -G DEB` in the build folder: one package with the same files under /usr.
set(CPACK_PACKAGE_NAME libnyx)
set(CPACK_PACKAGE_VENDOR "nyx developers")
set(CPACK_PACKAGE_CONTACT "nyx developers <nyx@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Connectivity store for hierarchical circuit designs: library, headers and the nyx tool")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_GENERATOR DEB)
include(CPack)
