# The Windows programs' end-to-end cases under Wine.
#
# WINDOWS_BIN_DIR (set by cmake/windows_programs.cmake, empty without a
# MinGW-w64 compiler) holds the Windows executables. One Wine prefix is made
# for each test run by the fixture WinePrefix; every Wine case must require it.
set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wineprefix)
target_compile_definitions(e2e_support PUBLIC WINE_PREFIX_DIR="${WINE_PREFIX_DIR}"
                                              WINDOWS_BIN_DIR="${WINDOWS_BIN_DIR}")
if(TARGET windows_programs)
  add_dependencies(e2e_support windows_programs)
endif()

set(_wine_prefix_script ${PROJECT_SOURCE_DIR}/launch/wine_prefix.sh)
add_test(NAME wine_prefix_setup
         COMMAND sh ${_wine_prefix_script} setup ${WINE_PREFIX_DIR} "${WINDOWS_BIN_DIR}")
set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP WinePrefix TIMEOUT 300)
add_test(NAME wine_prefix_cleanup COMMAND sh ${_wine_prefix_script} cleanup ${WINE_PREFIX_DIR})
set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP WinePrefix TIMEOUT 120)

# gtest_discover_host_tests(<target> [TIMEOUT <seconds>] [TEST_PREFIX <prefix>])
# Discovers the cases of an end-to-end test program, each its own CTest test:
# those whose names hold "Wine" require the WinePrefix fixture, the others not.
function(gtest_discover_host_tests target)
  cmake_parse_arguments(ARG "" "TIMEOUT;TEST_PREFIX" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  gtest_discover_tests(${target} TEST_PREFIX "${ARG_TEST_PREFIX}" TEST_FILTER "-*Wine*"
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  gtest_discover_tests(${target} TEST_PREFIX "${ARG_TEST_PREFIX}" TEST_FILTER "*Wine*"
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT} FIXTURES_REQUIRED WinePrefix)
endfunction()
