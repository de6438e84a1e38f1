# Reference documentation: `cmake --build <dir> --target docs` (make docs) writes HTML from the
# public headers to <dir>/docs/html. Any Doxygen warning, an undocumented exported function among
# them, fails the target and the test that builds it.
find_program(NYX_DOXYGEN doxygen)
set(NYX_DOCS_OUT ${PROJECT_BINARY_DIR}/docs)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${NYX_DOCS_OUT}/Doxyfile @ONLY)
if(NYX_DOXYGEN)
  set(nyx_docs_command ${NYX_DOXYGEN} ${NYX_DOCS_OUT}/Doxyfile)
else()
  set(nyx_docs_command ${CMAKE_COMMAND} -E echo "doxygen not found: run make deps" COMMAND false)
endif()
add_custom_target(docs COMMAND ${nyx_docs_command}
  WORKING_DIRECTORY ${NYX_DOCS_OUT}
  COMMENT "Reference documentation in ${NYX_DOCS_OUT}/html" VERBATIM)
if(NYX_BUILD_TESTS)
  add_test(NAME docs.reference_builds_without_warnings COMMAND ${nyx_docs_command}
           WORKING_DIRECTORY ${NYX_DOCS_OUT})
  set_tests_properties(docs.reference_builds_without_warnings PROPERTIES TIMEOUT 120)
endif()
