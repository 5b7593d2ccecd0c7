# The Windows side of the tests: GoogleTest built for the mingw-w64 target
# from Debian's source package (there is no Windows build of it to install),
# and ctest running every test program under a private Wine that
# tests/wine/wine-env.sh makes in the build folder.
set(TELVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources built for Windows")
set(TELVANE_WINE_DIR ${CMAKE_BINARY_DIR}/wine CACHE PATH "The Wine prefix and ports of the tests")

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TELVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# Set before any test target is made: it becomes their CROSSCOMPILING_EMULATOR.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/wine/wine-env.sh run ${TELVANE_WINE_DIR})

# One ctest test per program: listing the cases of each program first would
# start Wine twice as often for nothing.
function(telvane_discover_tests target)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "ENVIRONMENT" ${ARGN})
  add_test(NAME ${target} COMMAND ${target})
  set(timeout 300)
  if(ARG_TIMEOUT)
    set(timeout ${ARG_TIMEOUT})
  endif()
  set_tests_properties(${target} PROPERTIES TIMEOUT ${timeout} LABELS "windows;${ARG_LABEL}")
  if(ARG_ENVIRONMENT)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()
