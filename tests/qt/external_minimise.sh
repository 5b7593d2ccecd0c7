#!/usr/bin/env bash
# Standby from outside the program: under Xvfb with a window manager
# (openbox), the window is minimised and restored through the window
# manager, as the task bar would. After the first result phase, a minimise
# from outside must set standby ("Dream" saved as 1) and a restore must
# clear it again.
#
#   external_minimise.sh TELVANE_EXE TASIM_EXE
set -euo pipefail

telvane=$1
tasim=$2
for tool in xvfb-run openbox xdotool xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d /tmp/telvane-minimise-XXXXXX)
simulator=""
cleanup() {
    [ -n "$simulator" ] && kill "$simulator" 2>/dev/null && wait "$simulator" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/bin" "$work/config/Maruvo" "$work/runtime"
chmod 700 "$work/runtime"
cp "$telvane" "$work/bin/telvane"
"$tasim" --link COM1 --ports-folder "$work/config/Maruvo/Telvane/ports" --no-stdin --byte-delay 0 \
    >"$work/ta-sim.log" &
simulator=$!
for _ in $(seq 100); do
    [ -L "$work/config/Maruvo/Telvane/ports/COM1" ] && break
    sleep 0.05
done

# Runs the program once; $1 is "minimise" or "minimise-restore".
run() {
    printf '[1.0]\nPort=COM1\nLogRing=1\n' >"$work/config/Maruvo/Telvane.conf"
    rm -f "$work/bin/RingLog.txt"
    xvfb-run -a -s "-screen 0 640x480x24" bash -c '
        set -euo pipefail
        work=$1
        openbox >/dev/null 2>&1 &
        manager=$!
        # The window manager must be running before the window appears.
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
            sleep 0.05
        done
        XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime "$work/bin/telvane" &
        program=$!
        window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Telvane\$" | head -n 1)
        # The first result phase logs the first caller (the snapshot is empty).
        for _ in $(seq 200); do
            [ -s "$work/bin/RingLog.txt" ] && break
            sleep 0.05
        done
        [ -s "$work/bin/RingLog.txt" ] || { echo "no first result"; exit 1; }
        # Waits until the window manager reports the state, then gives the
        # program a moment to handle the same change.
        state() {
            for _ in $(seq 100); do
                xprop -id "$window" WM_STATE | grep -q "window state: $1" && break
                sleep 0.05
            done
            sleep 1
        }
        xdotool windowminimize "$window"
        state Iconic
        if [ "$2" = minimise-restore ]; then
            xdotool windowactivate "$window" || xdotool windowmap "$window"
            state Normal
        fi
        kill -TERM "$program"
        # What counts is the saved standby flag; a sanitizer build may end
        # with a report about allocations of the toolkit.
        wait "$program" || echo "telvane ended with status $?" >&2
        kill "$manager" 2>/dev/null || true
    ' run "$work" "$1"
    grep -E '^Dream=' "$work/config/Maruvo/Telvane.conf"
}

minimised=$(run minimise)
restored=$(run minimise-restore)
echo "after a minimise from outside: $minimised; after minimise and restore: $restored"
[ "$minimised" = "Dream=1" ] && [ "$restored" = "Dream=0" ]
