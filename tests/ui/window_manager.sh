#!/usr/bin/env bash
# What a window manager (openbox under Xvfb) sees of the real program:
#   - a second start with the same settings brings the minimised window back
#     and ends with status 0;
#   - the version dialog's title is exactly its own, its size is fixed (no
#     resize or maximise action is offered), and each showing fills the work
#     area.
#
#   window_manager.sh TELVANE_EXE
set -euo pipefail

telvane=$1
for tool in xvfb-run openbox xdotool xprop xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d /tmp/telvane-wm-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"

xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    set -euo pipefail
    work=$1 telvane=$2
    export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
    openbox >/dev/null 2>&1 &
    manager=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.05
    done
    "$telvane" 2>/dev/null &
    program=$!
    trap "kill $program $manager 2>/dev/null || true" EXIT
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Telvane\$" | head -n 1)
    state() {
        for _ in $(seq 100); do
            xprop -id "$1" WM_STATE | grep -q "window state: $2" && return 0
            sleep 0.05
        done
        echo "window $1 is not $2" >&2
        return 1
    }

    xdotool windowminimize "$window"
    state "$window" Iconic
    timeout 20 "$telvane" 2>"$work/second.err" || { echo "second start: status $?" >&2; exit 1; }
    grep -q "already running" "$work/second.err"
    state "$window" Normal

    read -r -a area <<<"$(xprop -root _NET_WORKAREA | sed "s/.*= //; s/,//g")"
    for showing in 1 2; do
        sleep 0.5
        xdotool mousemove --window "$window" 48 124 click 1
        dialog=""
        for _ in $(seq 200); do
            dialog=$(xdotool search --onlyvisible --pid "$program" --name "." 2>/dev/null |
                grep -vx "$window" | head -n 1 || true)
            [ -n "$dialog" ] && break
            sleep 0.05
        done
        [ -n "$dialog" ] || { echo "showing $showing: no dialog" >&2; exit 1; }
        sleep 1
        [ "$(xprop -id "$dialog" _NET_WM_NAME)" = "_NET_WM_NAME(UTF8_STRING) = \"ﾊﾞｰｼﾞｮﾝ情報\"" ] ||
            { xprop -id "$dialog" _NET_WM_NAME >&2; exit 1; }
        hints=$(xprop -id "$dialog" WM_NORMAL_HINTS)
        min=$(sed -n "s/.*minimum size: //p" <<<"$hints")
        max=$(sed -n "s/.*maximum size: //p" <<<"$hints")
        [ -n "$min" ] && [ "$min" = "$max" ] || { echo "resizable: $hints" >&2; exit 1; }
        actions=$(xprop -id "$dialog" _NET_WM_ALLOWED_ACTIONS)
        if grep -qE "ACTION_(RESIZE|MAXIMIZE)" <<<"$actions" ||
            ! grep -q ACTION_MOVE <<<"$actions" || ! grep -q ACTION_CLOSE <<<"$actions"; then
            echo "showing $showing offers $actions" >&2
            exit 1
        fi
        read -r -a extents <<<"$(xprop -id "$dialog" _NET_FRAME_EXTENTS | sed "s/.*= //; s/,//g")"
        info=$(xwininfo -id "$dialog")
        x=$(sed -n "s/.*Absolute upper-left X: *//p" <<<"$info")
        y=$(sed -n "s/.*Absolute upper-left Y: *//p" <<<"$info")
        w=$(sed -n "s/.*Width: *//p" <<<"$info")
        h=$(sed -n "s/.*Height: *//p" <<<"$info")
        frame="$((x - extents[0])) $((y - extents[2])) $((w + extents[0] + extents[1])) $((h + extents[2] + extents[3]))"
        [ "$frame" = "${area[*]:0:4}" ] || { echo "showing $showing: frame $frame, work area ${area[*]:0:4}" >&2; exit 1; }
        xdotool key Return
        for _ in $(seq 100); do
            xdotool search --onlyvisible --pid "$program" --name "." 2>/dev/null |
                grep -qx "$dialog" || break
            sleep 0.05
        done
    done
    echo "second start raised the window; version dialog: fixed, titled, filling the work area"
' run "$work" "$telvane"
