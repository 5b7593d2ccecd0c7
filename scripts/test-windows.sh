#!/usr/bin/env bash
# The Windows stage: builds telvane.exe and its tests with mingw-w64, runs
# the tests under a private Wine (the toolkit-free monitor and comm suites,
# the Win32 shell's, and the end-to-end test of telvane.exe against ta-sim),
# and makes the download, build/windows/telvane-<version>-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
wine_dir=build/windows/wine

step() { printf '\n==== %s ====\n' "$*"; }
# Wine's server and Xvfb would otherwise end by themselves a minute later.
trap 'tests/wine/wine-env.sh stop "$wine_dir"' EXIT

step "Windows build (mingw-w64)"
cmake --preset windows >/dev/null
cmake --build build/windows -j "$jobs"

step "ta-sim for the end-to-end test (host build)"
if [ ! -f build/release/CMakeCache.txt ]; then
    cmake --preset release >/dev/null
fi
cmake --build build/release -j "$jobs" --target ta-sim

step "Windows tests under Wine"
# A fresh prefix every time: nothing left over from an earlier run.
tests/wine/wine-env.sh stop "$wine_dir"
rm -rf "$wine_dir"
ctest --preset windows -j "$jobs"

step "Windows download"
cmake --build build/windows --target package
ls -l build/windows/telvane-*-win64.zip
