# orbalen_unit_test(NAME SOURCES file... LIBS lib...)
#   One GoogleTest program per layer; every test is registered with CTest
#   under the label "unit" (no display, no network, no privileges).
# orbalen_integration_test(NAME SOURCES file... LIBS lib...)
#   The same with the label "integration": real servers, namespaces, buses.
add_custom_target(unit-tests)

function(_orbalen_gtest name label)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                        orbalen_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
endfunction()

function(orbalen_unit_test name)
  _orbalen_gtest(${name} unit ${ARGN})
  add_dependencies(unit-tests ${name})
endfunction()

function(orbalen_integration_test name)
  _orbalen_gtest(${name} integration ${ARGN})
endfunction()
