#!/usr/bin/env bash
# Takes the README's screenshot, docs/screenshot.png: the real program on a
# virtual X display (Xvfb), after its first query found a caller at the
# simulated terminal adapter ta-sim. Everything runs in a private folder.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release --target telvane ta-sim

work=$(mktemp -d /tmp/telvane-shot-XXXXXX)
simulator=""
cleanup() {
    if [ -n "$simulator" ]; then
        kill "$simulator" 2>/dev/null || true
        wait "$simulator" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin" "$work/config/Maruvo"
cp build/release/src/app/telvane "$work/bin/"
printf '[1.0]\nPort=COM1\nInterval=15秒\nLogRing=1\n' >"$work/config/Maruvo/Telvane.conf"

build/release/tools/ta-sim/ta-sim --link COM1 --ports-folder "$work/config/Maruvo/Telvane/ports" \
    --caller 0312345678 --no-stdin >"$work/ta-sim.log" &
simulator=$!
for _ in $(seq 50); do
    [ -L "$work/config/Maruvo/Telvane/ports/COM1" ] && break
    sleep 0.1
done

xvfb-run -a -s "-screen 0 640x480x24 -dpi 96" bash -c '
    set -euo pipefail
    XDG_CONFIG_HOME="$1/config" XDG_RUNTIME_DIR="$1" "$1/bin/telvane" &
    program=$!
    window=$(xdotool search --sync --name "^Telvane\$" | head -n 1)
    # The first query and its result take well under two seconds.
    sleep 3
    import -window "$window" "$1/screenshot.png"
    kill -TERM "$program"
    wait "$program"
' screenshot "$work"

cp "$work/screenshot.png" "$repo/docs/screenshot.png"
echo "Screenshot: $repo/docs/screenshot.png"
