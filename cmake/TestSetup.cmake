# Shared set-up of every test directory: GoogleTest and the sanitizer options.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)

set(TELVANE_TSAN_OPTIONS "halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
set(TELVANE_ASAN_OPTIONS "detect_leaks=1:strict_string_checks=1")
set(TELVANE_UBSAN_OPTIONS "print_stacktrace=1:halt_on_error=1")
set(TELVANE_TEST_ENVIRONMENT
    "TSAN_OPTIONS=${TELVANE_TSAN_OPTIONS}"
    "ASAN_OPTIONS=${TELVANE_ASAN_OPTIONS}"
    "UBSAN_OPTIONS=${TELVANE_UBSAN_OPTIONS}"
    "QT_QPA_PLATFORM=offscreen")
