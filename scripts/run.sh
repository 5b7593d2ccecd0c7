#!/usr/bin/env bash
# Installs what is missing, builds Telvane and runs its main job.
#
# For now this runs the caller monitor for a simulated day against a
# simulated terminal adapter that rings now and then, polling every minute:
# it prints what the window shows after each result and writes the call log
# RingLog.txt into the folder given by TELVANE_RUN_FOLDER (default: a new
# temporary folder).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)" --target telvane-monitor-sim

folder=${TELVANE_RUN_FOLDER:-$(mktemp -d /tmp/telvane-run-XXXXXX)}
mkdir -p "$folder"
./build/release/tools/monitor-sim/telvane-monitor-sim --hours 24 --interval " 1" \
    --calls-per-hour 1 --folder "$folder"
echo
echo "Call log: $folder/RingLog.txt"
