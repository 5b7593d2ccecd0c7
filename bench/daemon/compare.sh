#!/usr/bin/env bash
# telvaned beside the desktop program, both polling a ta-sim of their own
# every second at the same time (the desktop under Xvfb on Qt's xcb
# platform), and prints for each: processor time per poll, context switches
# per poll (all threads: how often it wakes), and resident memory at the end.
#
#   compare.sh [SECONDS]   how long both poll (default 60)
#
#   TELVANE_BENCH_BUILD    the build folder (default build/release)
set -euo pipefail
seconds=${1:-60}

cd "$(dirname "$0")/../.."
build=${TELVANE_BENCH_BUILD:-$PWD/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release >/dev/null
fi
cmake --build "$build" --target telvane telvaned ta-sim >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-daemon-bench-XXXXXX")
mkdir -p "$work/desktop/Maruvo" "$work/daemon" "$work/runtime"
chmod 700 "$work/runtime"
pids=()
cleanup() {
    local pid
    # The programs before their adapters, so that no link is ever missing
    # while a program may open it.
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done

# One adapter each; the daemon's is named on its command line.
XDG_CONFIG_HOME=$work/desktop "$build/tools/ta-sim/ta-sim" --link COM1 --no-stdin --seed 1 \
    >"$work/desktop.events" 2>&1 &
desktop_adapter=$!
"$build/tools/ta-sim/ta-sim" --ports-folder "$work/daemon/ports" --link COM1 --no-stdin --seed 2 \
    >"$work/daemon.events" 2>&1 &
daemon_adapter=$!
for events in desktop daemon; do
    for _ in $(seq 100); do grep -q ' ready' "$work/$events.events" && break; sleep 0.05; done
done

settings='[1.0]\nPort=COM1\nInterval=" 1\xe7\xa7\x92"\nLogRing=1\n' # " 1秒"
printf "$settings" >"$work/desktop/Maruvo/Telvane.conf"
printf "$settings" >"$work/daemon/telvaned.conf"
DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/desktop \
    XDG_RUNTIME_DIR=$work/runtime "$build/src/app/telvane" 2>/dev/null &
desktop=$!
XDG_CONFIG_HOME=$work/daemon "$build/src/app/telvaned" --config "$work/daemon/telvaned.conf" \
    --device "$work/daemon/ports/COM1" --state-dir "$work/daemon" 2>/dev/null &
daemon=$!
pids=("$desktop" "$daemon" "$desktop_adapter" "$daemon_adapter" "$xvfb")

commands() { grep -c ' command' "$work/$1.events" || true; }
cpu_ms() { awk -v t="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) * 1000 / t }' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }'; }
rss_kb() { awk '$1 == "VmRSS:" { print $2 }' "/proc/$1/status"; }

# Counted from the third query on: start-up is not polling.
for name in desktop daemon; do
    limit=$((SECONDS + 60))
    until [ "$(commands "$name")" -ge 3 ]; do
        [ "$SECONDS" -lt "$limit" ] || { echo "$name does not poll" >&2; exit 1; }
        sleep 0.05
    done
done
declare -A polls cpu wakes
for name in desktop daemon; do
    pid=${!name}
    polls[$name]=$(commands "$name") cpu[$name]=$(cpu_ms "$pid") wakes[$name]=$(switches "$pid")
done
sleep "$seconds"

echo "Both programs polling ta-sim every second for $seconds s, side by side:"
for name in desktop daemon; do
    pid=${!name}
    n=$(($(commands "$name") - polls[$name]))
    label=$([ "$name" = desktop ] && echo "telvane (Qt, Xvfb)" || echo "telvaned")
    awk -v l="$label" -v n="$n" -v c="$(cpu_ms "$pid")" -v c0="${cpu[$name]}" \
        -v w="$(switches "$pid")" -v w0="${wakes[$name]}" -v r="$(rss_kb "$pid")" \
        'BEGIN { printf "  %-20s %3d polls, %6.2f ms of processor time per poll, %5.1f context switches per poll, %6.1f MB resident\n", l, n, (c - c0) / n, (w - w0) / n, r / 1024 }'
done
