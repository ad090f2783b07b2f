# lpt51_add_test(NAME SOURCES... LIBS...): one GoogleTest executable, its
# tests registered with CTest one by one.
function(lpt51_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LPT51_BIN_DIR=${CMAKE_BINARY_DIR}/bin;LPT51_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
include(GoogleTest)
