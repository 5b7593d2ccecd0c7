# Shared set-up of every test directory: GoogleTest and the sanitizer options.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)

set(TELVANE_TSAN_OPTIONS "halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
set(TELVANE_ASAN_OPTIONS "detect_leaks=1:strict_string_checks=1")
set(TELVANE_UBSAN_OPTIONS "print_stacktrace=1:halt_on_error=1")
set(TELVANE_TEST_ENVIRONMENT
    # The plugins, which the program finds beside itself.
    "TELVANE_NUMBER_PLUGIN=${CMAKE_BINARY_DIR}/src/app/libtelvane-phonenumber.so"
    "TELVANE_MQTT_PLUGIN=${CMAKE_BINARY_DIR}/src/app/libtelvane-mqtt.so"
    "TSAN_OPTIONS=${TELVANE_TSAN_OPTIONS}"
    "ASAN_OPTIONS=${TELVANE_ASAN_OPTIONS}"
    "UBSAN_OPTIONS=${TELVANE_UBSAN_OPTIONS}"
    "QT_QPA_PLATFORM=offscreen")

# Registers the GoogleTest cases of a test executable with CTest, running
# each with the test environment above (plus any ENVIRONMENT items given)
# and, optionally, one label. gtest_discover_tests writes a list-valued
# property as separate words, so a list in its ENVIRONMENT property would
# swallow the properties after it; the environment goes in front of the
# command through env(1) instead, for the discovery run too.
function(telvane_discover_tests target)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "ENVIRONMENT" ${ARGN})
  set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
      env ${TELVANE_TEST_ENVIRONMENT} ${ARG_ENVIRONMENT})
  set(properties TIMEOUT 300)
  if(ARG_TIMEOUT)
    set(properties TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_LABEL)
    list(APPEND properties LABELS ${ARG_LABEL})
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
