#!/usr/bin/env bash
# Installs what is missing, builds Telvane and runs its main job.
#
# With a desktop and at least one COM port mapped to a device in
# $XDG_CONFIG_HOME/Maruvo/Telvane/ports (see README.md), this starts Telvane
# itself. Otherwise it runs the demo (scripts/demo.sh): Telvane polling a
# simulated terminal adapter that rings every 20 seconds or so, in a private
# folder that never touches your own settings.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)" --target telvane ta-sim

ports="${XDG_CONFIG_HOME:-$HOME/.config}/Maruvo/Telvane/ports"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && compgen -G "$ports/COM*" >/dev/null; then
    echo "Starting Telvane; its ports are mapped in $ports"
    exec build/release/src/app/telvane
fi

echo "No COM port is mapped in $ports (or no desktop): running the demo."
exec bash scripts/demo.sh
