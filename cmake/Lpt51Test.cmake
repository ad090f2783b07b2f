# SPDX-License-Identifier: GPL-3.0-or-later
# lpt51_add_test(NAME SOURCES... LIBS... [PROPERTIES...]): one GoogleTest
# executable, its tests registered with CTest one by one, each with the CTest
# PROPERTIES given. The shared main (tests/TestMain.cpp)
# puts QT_QPA_PLATFORM=offscreen, LPT51_BIN_DIR (the built programs) and
# LPT51_SOURCE_DIR in the environment unless they are set already.
function(lpt51_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/TestMain.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    LPT51_BIN_DIR_DEFAULT="${CMAKE_BINARY_DIR}/bin"
    LPT51_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${T_PROPERTIES})
endfunction()
include(GoogleTest)
