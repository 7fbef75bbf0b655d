# klp_test(NAME SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
find_package(GTest REQUIRED)
include(GoogleTest)

function(klp_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# klp_test_environment(TARGET VAR=VALUE ...): the environment of every test discovered from
# TARGET's klp_test (a list cannot pass through gtest_discover_tests' PROPERTIES), set by an
# include file that CTest reads after the discovered tests.
function(klp_test_environment target)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake)
  file(WRITE ${file} "if(${target}_TESTS)\n"
                     "  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT \"${ARGN}\")\n"
                     "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()

# klp_test_resource_lock(TARGET NAME): tests discovered from TARGET's klp_test never run at the
# same time as other tests holding the lock NAME (e.g. real-time screen tests that would starve
# each other's timing on a small machine).
function(klp_test_resource_lock target name)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_lock.cmake)
  file(WRITE ${file} "if(${target}_TESTS)\n"
                     "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK ${name})\n"
                     "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
