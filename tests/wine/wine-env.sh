#!/usr/bin/env bash
# A private Wine for the Windows tests, kept in one folder:
#
#   wine-env.sh start DIR [--display]  make DIR/prefix if it is missing, map COM1..COM9 to
#                                      DIR/ports/COMn, keep the server up; with --display
#                                      also start Xvfb for the windows of the program
#   wine-env.sh run DIR PROGRAM ARGS   start with a display (once, under a lock), then run
#                                      PROGRAM under Wine; ctest's emulator of the Windows tests
#   wine-env.sh stop DIR               end the server and Xvfb
#
# Nothing outlives its use for long: the server ends a minute after its last
# program, and Xvfb with the server.
# DIR/env holds the variables for Wine commands: ". DIR/env; wine ...".
# The ports folder is where "ta-sim --ports-folder DIR/ports --link COMn" puts its link.
set -euo pipefail

usage() {
    sed -n '2,12p' "$0" >&2
    exit 2
}

[ $# -ge 2 ] || usage
command=$1
dir=$(realpath -m "$2")
shift 2

# A Japanese user's PC: the system's time zone is Tokyo's.
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=Asia/Tokyo

start_display() {
    if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
        return
    fi
    # Xvfb picks a free display itself and writes its number to fd 3.
    rm -f "$dir/display"
    # Not -terminate: it would end when one test program's last window goes,
    # under the next program's first one. It ends with the server (start).
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" \
        </dev/null >"$dir/xvfb.log" 2>&1 9>&- &
    echo $! >"$dir/xvfb.pid"
    rm -f "$dir/xvfb.watched"
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        sleep 0.05
    done
    [ -s "$dir/display" ] || {
        echo "wine-env.sh: Xvfb did not start: $(cat "$dir/xvfb.log")" >&2
        exit 1
    }
    # The server keeps the display of its first program, so it restarts.
    wineserver -k 2>/dev/null || true
}

make_prefix() {
    mkdir -p "$dir/ports"
    if [ ! -f "$WINEPREFIX/.telvane-ports" ]; then
        rm -rf "$WINEPREFIX"
        # A new prefix gives the host's /dev/ttyS0 (maybe the console) the
        # first free COM number; every number the program offers is taken
        # before any program opens a port. The names need not exist.
        DISPLAY= wineboot -i >/dev/null 2>&1 9>&-
        for n in 1 2 3 4 5 6 7 8 9; do
            wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$dir/ports/COM$n" /f 9>&- \
                >/dev/null 2>&1
        done
        # The mapping is read when the server starts.
        wineserver -w 9>&-
        touch "$WINEPREFIX/.telvane-ports"
    fi
}

write_env() {
    {
        printf 'export WINEPREFIX=%q WINEDEBUG=-all WINEDLLOVERRIDES=%q TZ=%q\n' \
            "$WINEPREFIX" "$WINEDLLOVERRIDES" "$TZ"
        if [ -s "$dir/display" ]; then
            printf 'export DISPLAY=:%s\n' "$(head -n1 "$dir/display")"
        fi
    } >"$dir/env"
}

start() {
    mkdir -p "$dir"
    make_prefix
    if [ "${1:-}" = --display ]; then
        start_display
    fi
    write_env
    . "$dir/env"
    up
    if [ -f "$dir/xvfb.pid" ] && [ ! -f "$dir/xvfb.watched" ]; then
        # Xvfb ends when the server does.
        touch "$dir/xvfb.watched"
        (
            wineserver -w
            kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
            rm -f "$dir/xvfb.pid" "$dir/xvfb.watched" "$dir/display"
        ) </dev/null >/dev/null 2>&1 9>&- &
    fi
}

# The server stays a minute after its last program, so that each test
# program starts in a fraction of a second instead of a whole one. It and
# Wine's own background programs start here, without the caller's output
# pipes, which they would otherwise hold open (ctest waits for them).
up() {
    wineserver -p60 </dev/null >/dev/null 2>&1 9>&- || true # fails when it runs already
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
}

case "$command" in
start)
    start "$@"
    ;;
run)
    [ $# -ge 1 ] || usage
    mkdir -p "$dir"
    (
        flock 9
        start --display
    ) 9>"$dir/lock"
    . "$dir/env"
    exec wine "$@"
    ;;
stop)
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid" "$dir/display" "$dir/xvfb.watched"
    fi
    rm -f "$dir/env"
    ;;
*)
    usage
    ;;
esac
