#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test:
#   1. the release build (warnings are errors) and its full suite, benchmarks built,
#      then the Debian package made from it and checked;
#   2. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the threaded tests under ThreadSanitizer;
#   4. the serial component cross-compiled for Windows with mingw-w64;
#   5. a formatting check of every C++ file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

step() { printf '\n==== %s ====\n' "$*"; }

step "release build and tests"
cmake --preset release >/dev/null
cmake --build build/release -j "$jobs"
ctest --preset release -j "$jobs"

step "Debian package"
bash scripts/test-package.sh

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j "$jobs"
ctest --preset asan -j "$jobs"

step "ThreadSanitizer (threaded tests)"
cmake --preset tsan >/dev/null
cmake --build build/tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

step "serial component for Windows (mingw-w64)"
cmake --preset mingw-comm >/dev/null
cmake --build build/mingw-comm -j "$jobs"

step "formatting"
files=$(git ls-files '*.h' '*.cpp' 2>/dev/null || find src tests bench tools -name '*.h' -o -name '*.cpp')
clang-format --dry-run --Werror $files

printf '\nAll test stages passed.\n'
