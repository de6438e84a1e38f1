find_package(GTest REQUIRED)
include(GoogleTest)

# nyx_add_test(<name> SOURCES <files>... SUBSYSTEMS <src folders>... [LIBS <libs>...])
# One executable per test folder. ctest runs every test case in its own process, and the
# shared main (tests/common/test_main.cpp) gives each case its own temporary directory and
# a clean environment.
function(nyx_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;SUBSYSTEMS;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/common/test_main.cpp)
  target_include_directories(${name} PRIVATE
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  nyx_link_subsystems(${name} ${T_SUBSYSTEMS})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock Threads::Threads ${CMAKE_DL_LIBS} ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endfunction()
