#!/usr/bin/env bash
# What a window manager (openbox under Xvfb) sees of the real program: its
# frame centred on the screen; a second start with the same settings brings the minimised window back and
# ends with status 0; the version dialog's title is exactly its own, no
# resize or maximise is offered, and each showing's frame covers the work
# area. Skipped (77) where the X tools are missing.
#
#   window_manager.sh TELVANE_EXE
set -euo pipefail
for tool in xvfb-run openbox xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool" && exit 77; }
done
work=$(mktemp -d /tmp/telvane-wm-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"

xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    set -euo pipefail
    export XDG_CONFIG_HOME=$1/config XDG_RUNTIME_DIR=$1/runtime
    openbox >/dev/null 2>&1 &
    trap "kill $! 2>/dev/null" EXIT
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.05; done
    "$2" 2>/dev/null &
    trap "kill $! 2>/dev/null; kill %1 2>/dev/null" EXIT
    program=$!
    main=$(timeout 20 xdotool search --sync --onlyvisible --name "^Telvane\$" | head -n 1)
    until_true() { for _ in $(seq 200); do eval "$1" && return; sleep 0.05; done; echo "not: $1" >&2; exit 1; }
    others() { xdotool search --onlyvisible --pid "$program" --name . 2>/dev/null | grep -vx "$main"; }

    # Centred with its frame, not its client area, once openbox has framed it.
    sleep 1
    frame=$(xwininfo -tree -id "$main" | sed -n "s/.*Parent window id: \([^ ]*\).*/\1/p")
    placed=$(xwininfo -id "$frame" | sed -n "s/.*-geometry \([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\).*/\1 \2 \3 \4/p")
    read -r width height x y <<<"$placed"
    [ "$x $y" = "$(( (640 - width) / 2 )) $(( (480 - height) / 2 ))" ] ||
        { echo "frame $placed is not centred on 640x480" >&2; exit 1; }

    xdotool windowminimize "$main"
    until_true "xprop -id $main WM_STATE | grep -q Iconic"
    timeout 20 "$2" 2>&1 | grep -q "already running"
    until_true "xprop -id $main WM_STATE | grep -q Normal"

    area=$(xprop -root _NET_WORKAREA | awk -F "[=,] *" "{ print \$2 \", \" \$3 \", \" \$4 \"x\" \$5 }")
    for showing in 1 2; do
        sleep 0.5
        xdotool mousemove --window "$main" 48 124 click 1
        until_true "others >/dev/null"
        dialog=$(others | head -n 1)
        sleep 1
        xprop -id "$dialog" _NET_WM_NAME | grep -qx "_NET_WM_NAME(UTF8_STRING) = \"ﾊﾞｰｼﾞｮﾝ情報\""
        if xprop -id "$dialog" _NET_WM_ALLOWED_ACTIONS | grep -qE "RESIZE|MAXIMIZE"; then
            echo "showing $showing offers resizing" >&2 && exit 1
        fi
        frame=$(xwininfo -tree -id "$dialog" | sed -n "s/.*Parent window id: \([^ ]*\).*/\1/p")
        geometry=$(xwininfo -id "$frame" | sed -n "s/.*-geometry \([0-9x]*\)+\([0-9]*\)+\([0-9]*\).*/\2, \3, \1/p")
        [ "$geometry" = "$area" ] || { echo "showing $showing: frame $geometry, work area $area" >&2; exit 1; }
        xdotool key Return
        until_true "! others >/dev/null"
    done
' run "$work" "$1"
