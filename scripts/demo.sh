#!/usr/bin/env bash
# The demo: Telvane polls a simulated terminal adapter (ta-sim) that gets a
# call from a made-up number every 20 seconds, and writes the call log.
#
# Everything lives in a new private folder: the settings (COM1, a poll every
# 15 seconds, call log on), the COM1 link to ta-sim's pseudo-terminal, a copy
# of the program and so its call log. The user's own settings are never
# touched.
#
#   TELVANE_DEMO_SECONDS   how long the demo runs (default 90; 0: until Ctrl-C)
#   TELVANE_DEMO_BUILD     the build folder to use (default build/release)
#
# With a desktop ($DISPLAY or $WAYLAND_DISPLAY) the window opens there.
# Without one the program runs under Xvfb and a screenshot is taken at the
# end (ImageMagick's import, or xwd and convert); without xvfb-run it runs on
# Qt's offscreen platform, where no screenshot can be taken.
set -euo pipefail

# ---------------------------------------------------------------------------
# The part that runs inside xvfb-run: the program on the virtual display, and
# a screenshot of that display before the program is ended.
if [ "${1:-}" = "--on-virtual-display" ]; then
    work=$2
    stop=0
    trap 'stop=1' TERM INT
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
        "$work/bin/telvane" 2>>"$work/telvane.err" &
    program=$!
    echo $$ >"$work/display.pid"
    while [ "$stop" = 0 ] && kill -0 "$program" 2>/dev/null; do
        sleep 1 &
        wait $! || true
    done
    if kill -0 "$program" 2>/dev/null; then
        if command -v import >/dev/null; then
            import -window root "$work/screenshot.png" || true
        elif command -v xwd >/dev/null && command -v convert >/dev/null; then
            xwd -root -silent | convert xwd:- "$work/screenshot.png" || true
        else
            echo "No screenshot: neither ImageMagick's import nor xwd is installed." >&2
        fi
        kill -TERM "$program"
    fi
    wait "$program" || true
    exit 0
fi

cd "$(dirname "$0")/.."
repo=$PWD

seconds=${TELVANE_DEMO_SECONDS:-90}
if ! [[ $seconds =~ ^[0-9]+$ ]]; then
    echo "TELVANE_DEMO_SECONDS must be a whole number of seconds, not '$seconds'" >&2
    exit 2
fi

build=${TELVANE_DEMO_BUILD:-$repo/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release >/dev/null
fi
cmake --build "$build" --target telvane ta-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-demo-XXXXXX")
mkdir -p "$work/config/Maruvo" "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/src/app/telvane" "$work/bin/telvane"
# Its plugins go beside it, as they would be found in a build.
cp "$build"/src/app/libtelvane-*.so "$work/bin/" 2>/dev/null || true
settings=$work/config/Maruvo/Telvane.conf
calllog=$work/bin/RingLog.txt
screenshot=$work/screenshot.png
events=$work/ta-sim.log
cat >"$settings" <<'EOF'
[1.0]
Port=COM1
Interval=15秒
LogRing=1
EOF

# Children, ended in this order: the program first, so that it saves its
# settings while the adapter is still there.
program=""
adapter=""
follower=""
stop_children() {
    local pid
    for pid in $program $adapter $follower; do
        if kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    program=""
    adapter=""
    follower=""
}
trap stop_children EXIT
stop=0
trap 'stop=1' INT TERM

# Each child gets a session of its own: Ctrl-C reaches only this script,
# which then ends them in order (and takes the screenshot first).
XDG_CONFIG_HOME=$work/config setsid "$build/tools/ta-sim/ta-sim" \
    --link COM1 --ring-every 20 --no-stdin --watch "$calllog" >"$events" 2>&1 &
adapter=$!
for _ in $(seq 100); do
    grep -q " link COM1 " "$events" 2>/dev/null && break
    sleep 0.1
done
if ! grep -q " link COM1 " "$events"; then
    echo "ta-sim did not start:" >&2
    cat "$events" >&2
    exit 1
fi
tail -n +1 -f "$events" | sed -u 's/^/ta-sim: /' &
follower=$!

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    mode=desktop
    XDG_CONFIG_HOME=$work/config setsid "$work/bin/telvane" 2>>"$work/telvane.err" &
    program=$!
elif command -v xvfb-run >/dev/null; then
    mode=xvfb
    setsid xvfb-run -a -s "-screen 0 480x320x24" \
        bash "$repo/scripts/demo.sh" --on-virtual-display "$work" >>"$work/telvane.err" 2>&1 &
    program=$!
else
    mode=offscreen
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen \
        setsid "$work/bin/telvane" 2>>"$work/telvane.err" &
    program=$!
fi

case $mode in
desktop) echo "Telvane runs on your desktop." ;;
xvfb) echo "No display: Telvane runs under Xvfb; a screenshot is taken at the end." ;;
offscreen) echo "No display and no xvfb-run: Telvane runs on Qt's offscreen platform." ;;
esac
if [ "$seconds" = 0 ]; then
    echo "The demo runs until Ctrl-C. Folder: $work"
else
    echo "The demo runs for $seconds seconds (Ctrl-C ends it sooner). Folder: $work"
fi

end=$((SECONDS + seconds))
while [ "$stop" = 0 ] && { [ "$seconds" = 0 ] || [ "$SECONDS" -lt "$end" ]; }; do
    if ! kill -0 "$program" 2>/dev/null; then
        echo "Telvane ended by itself; see $work/telvane.err" >&2
        break
    fi
    sleep 1 &
    wait $! || true
done

# Under Xvfb the program is ended by the script on the virtual display,
# after its screenshot.
if [ "$mode" = xvfb ] && [ -f "$work/display.pid" ]; then
    kill -TERM "$(cat "$work/display.pid")" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
fi
stop_children

echo
if [ -f "$screenshot" ]; then
    echo "Screenshot: $screenshot"
elif [ "$mode" != desktop ]; then
    echo "Screenshot: none (see above)"
fi
echo "Settings:   $settings"
echo "Call log:   $calllog"
echo "ta-sim:     $events"
echo
echo "--- settings ---"
cat "$settings"
echo "--- call log (Shift_JIS, shown as UTF-8) ---"
if [ -f "$calllog" ]; then
    iconv -f SHIFT_JIS -t UTF-8 "$calllog" | tr -d '\r'
else
    echo "(no call was logged)"
fi
