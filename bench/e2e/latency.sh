#!/usr/bin/env bash
# Measures the real telvane program against ta-sim and prints figures:
#
#   1. start-up: from starting the program to its first query command at the
#      adapter (median of several starts, each on a quiet line);
#   2. detection latency: from the adapter's last byte of a reply ending in
#      "OK" to the call's line in RingLog.txt, over calls at a one-second
#      poll interval, a new caller before every poll (median and worst), and
#      the processor time per such query cycle;
#   3. 15-second polling: processor time between polls and over the whole
#      run, and resident memory (peak, and first and last sample).
#
# Times come from ta-sim's event lines (--clock epoch): it stamps the moment
# it wrote the last byte of a reply and the moment the call log grew
# (--watch), on the same clock. Processor time and memory come from /proc.
#
#   latency.sh           50 calls, 10 minutes of 15-second polling
#   latency.sh --quick   10 calls, 2 polls: under a minute
#
#   TELVANE_BENCH_BUILD  the build folder (default build/release)
set -euo pipefail

calls=50
polls=38
case "${1:-}" in
--quick)
    calls=10
    polls=2
    ;;
"") ;;
*)
    echo "usage: $0 [--quick]" >&2
    exit 2
    ;;
esac
starts=5

cd "$(dirname "$0")/../.."
build=${TELVANE_BENCH_BUILD:-$PWD/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release >/dev/null
fi
cmake --build "$build" --target telvane ta-sim >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-bench-XXXXXX")
mkdir -p "$work/config/Maruvo" "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/src/app/telvane" "$work/bin/telvane"
calllog=$work/bin/RingLog.txt
ticks=$(getconf CLK_TCK)

program=""
adapter=""
cleanup() {
    local pid
    for pid in $program $adapter; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Starts ta-sim with its events in the given file; more options may follow.
start_adapter() {
    local events=$1
    shift
    XDG_CONFIG_HOME=$work/config "$build/tools/ta-sim/ta-sim" --link COM1 --clock epoch \
        --no-stdin --seed 1 --watch "$calllog" "$@" >"$events" 2>&1 &
    adapter=$!
    wait_for "$events" "ready" 1
}

stop_adapter() {
    kill -TERM "$adapter"
    wait "$adapter" || true
    adapter=""
}

start_program() {
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen \
        "$work/bin/telvane" 2>>"$work/telvane.err" &
    program=$!
}

stop_program() {
    kill -TERM "$program"
    wait "$program" || true
    program=""
}

settings() {
    rm -f "$calllog"
    printf '[1.0]\nPort=COM1\nInterval="%s"\nLogRing=1\n' "$1" >"$work/config/Maruvo/Telvane.conf"
}

# Waits until the file has at least count event lines of the kind.
wait_for() {
    local file=$1 event=$2 count=$3 limit=$((SECONDS + 120)) found
    # A file not created yet counts as none.
    while found=$(grep -c " $event" "$file" 2>/dev/null); [ "${found:-0}" -lt "$count" ]; do
        if [ "$SECONDS" -ge "$limit" ]; then
            echo "timed out waiting for '$event' x$count in $file" >&2
            cat "$file" >&2
            exit 1
        fi
        sleep 0.05
    done
}

# The epoch time of the count-th event line of the kind.
event_time() {
    grep " $2" "$1" | sed -n "${3}p" | cut -d' ' -f1
}

# Processor time, user and system, in milliseconds.
cpu_ms() {
    local fields
    read -r -a fields <<<"$(sed 's/^.*) //' "/proc/$1/stat")"
    echo $(((fields[11] + fields[12]) * 1000 / ticks))
}

status_kb() {
    awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"
}

# Median and largest of numbers, one a line.
summary() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "no samples"; exit }
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median %.1f ms, worst %.1f ms (%d samples)\n", m, v[NR], NR }'
}

echo "telvane: $build/src/app/telvane"
echo

# 1. Start-up to the first command --------------------------------------------
events=$work/start.events
start_adapter "$events"
settings " 1秒"
: >"$work/start.times"
for run in $(seq "$starts"); do
    began=$(date +%s.%N)
    start_program
    wait_for "$events" "command" "$run"
    echo "$began $(event_time "$events" command "$run")" >>"$work/start.times"
    stop_program
    # The adapter is still sending its reply to the program just ended; the
    # next start's command would wait behind it and count its time. Each
    # start begins with the line quiet.
    wait_for "$events" "\(sent\|stalled\|failed\) " "$run"
    sleep 0.5
done
stop_adapter
echo "Start-up to the first query command: $(awk '{ print ($2 - $1) * 1000 }' "$work/start.times" |
    summary)"

# 2. Detection latency -----------------------------------------------------------
events=$work/calls.events
# A new caller as soon as each reply is out, before the next query: every
# reply from the second on has a caller the one before did not have.
for i in $(seq "$calls"); do
    printf 'wait-replies %d\nring\n' "$i"
done >"$work/calls.script"
settings " 1秒"
start_adapter "$events" --script "$work/calls.script"
start_program
wait_for "$events" "sent" 1
cpu_first=$(cpu_ms "$program")
wait_for "$events" "watch" "$calls"
cpu_last=$(cpu_ms "$program")
peak_calls=$(status_kb "$program" VmHWM)
stop_program
stop_adapter
# Each growth of the call log against the last reply sent before it.
latencies=$(awk '$2 == "sent" { sent = $1 } $2 == "watch" && sent { print ($1 - sent) * 1000 }' \
    "$events")
echo "Detection, last byte of \"OK\" to the line on disk: $(summary <<<"$latencies")"
echo "  (the program waits 100 ms after the end line before it evaluates a reply)"
echo "Processor time per query cycle with a call: $(awk -v c="$((cpu_last - cpu_first))" \
    -v n="$((calls - 1))" 'BEGIN { printf "%.1f ms", c / n }') (over $((calls - 1)) cycles)"
echo "Peak resident memory after $calls calls: $peak_calls kB"

# 3. 15-second polling -----------------------------------------------------------
events=$work/polls.events
settings "15秒"
start_adapter "$events"
began=$SECONDS
start_program
: >"$work/rss"
idle_ms=0
idle_windows=0
for poll in $(seq "$polls"); do
    wait_for "$events" "sent" "$poll"
    sleep 2
    before=$(cpu_ms "$program")
    status_kb "$program" VmRSS >>"$work/rss"
    sleep 11
    after=$(cpu_ms "$program")
    idle_ms=$((idle_ms + after - before))
    idle_windows=$((idle_windows + 1))
done
total_ms=$(cpu_ms "$program")
peak=$(status_kb "$program" VmHWM)
elapsed=$((SECONDS - began))
stop_program
stop_adapter
echo
echo "15-second polling for ${elapsed} s, $polls polls:"
echo "  processor time between polls: $idle_ms ms in $idle_windows windows of 11 s"
echo "  processor time of the whole run, start-up included: $total_ms ms"
echo "  peak resident memory: $peak kB; resident memory after the first and the last poll:" \
    "$(head -n 1 "$work/rss") kB, $(tail -n 1 "$work/rss") kB"
