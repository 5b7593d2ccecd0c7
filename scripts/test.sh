#!/usr/bin/env bash
# Installs what is missing, checks the formatting of every C and C++ file first
# (a slip fails in seconds), then builds and runs every test:
#   1. the release build (warnings are errors) and its full suite, benchmarks built,
#      then the Debian package made from it and checked;
#   2. the Windows program and its tests cross-built with mingw-w64 and run
#      under a private Wine, with the end-to-end test and the zip;
#   3. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   4. the threaded tests and telvaned's under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

step() { printf '\n==== %s ====\n' "$*"; }

step "formatting"
files=$(git ls-files '*.h' '*.c' '*.cpp' 2>/dev/null || find src tests bench tools -name '*.h' -o -name '*.c' -o -name '*.cpp')
clang-format --dry-run --Werror $files

step "release build and tests"
cmake --preset release >/dev/null
cmake --build build/release -j "$jobs"
ctest --preset release -j "$jobs"

step "Debian package"
bash scripts/test-package.sh

step "Windows: telvane.exe, its tests and the end-to-end test under Wine, the zip"
bash scripts/test-windows.sh

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j "$jobs"
ctest --preset asan -j "$jobs"

step "ThreadSanitizer (threaded tests)"
cmake --preset tsan >/dev/null
cmake --build build/tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

printf '\nAll test stages passed.\n'
