#!/usr/bin/env bash
# Telvane's footprint against a yardstick: a Qt window that draws the same
# two Japanese Gothic faces and nothing else (plain_window). Both run side by
# side, by turns, under Xvfb on Qt's xcb platform, as on a desktop:
#
#   start-up: Telvane from its start to its first query command at ta-sim;
#             the window from its start to its first paint;
#   memory:   resident memory (VmRSS) of each, 3 s after it started, and the
#             libraries of Telvane's with the most resident pages.
#
#   footprint.sh [RUNS]   medians of RUNS starts each (default 5)
#
#   TELVANE_BENCH_BUILD   the build folder (default build/release)
#   TELVANE_BENCH_BEFORE  the build folder of an earlier Telvane, which then
#                         runs by turns with the others for a before/after
set -euo pipefail
runs=${1:-5}

cd "$(dirname "$0")/../.."
build=${TELVANE_BENCH_BUILD:-$PWD/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release >/dev/null
fi
cmake --build "$build" --target telvane ta-sim plain_window >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-footprint-XXXXXX")
mkdir -p "$work/config/Maruvo" "$work/runtime"
chmod 700 "$work/runtime"
xvfb="" adapter="" program=""
cleanup() {
    local pid
    for pid in $program $adapter $xvfb; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime

XDG_CONFIG_HOME=$work/config "$build/tools/ta-sim/ta-sim" --link COM1 --clock epoch --no-stdin \
    --seed 1 >"$work/events" 2>&1 &
adapter=$!

count() { grep -c " $1" "$work/events" 2>/dev/null || true; }
wait_count() {
    local limit=$((SECONDS + 60))
    while [ "$(count "$1")" -lt "$2" ]; do
        [ "$SECONDS" -lt "$limit" ] || { echo "timed out waiting for $1" >&2; exit 1; }
        sleep 0.02
    done
}
rss_kb() { awk '$1 == "VmRSS:" { print $2 }' "/proc/$1/status"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
wait_count ready 1

# Starts the Telvane program $1 for the run $2 and appends its start-up
# and memory to the file $3; with $4, it also notes its heaviest libraries.
telvane_run() {
    printf '[1.0]\nPort=COM1\nInterval=" 5\xe5\x88\x86"\n' >"$work/config/Maruvo/Telvane.conf"
    local began at
    began=$(date +%s.%N)
    "$1" 2>/dev/null &
    program=$!
    wait_count command "$2"
    at=$(grep " command" "$work/events" | sed -n "${2}p" | cut -d' ' -f1)
    sleep 3
    echo "$(awk -v a="$at" -v b="$began" 'BEGIN { print (a - b) * 1000 }') $(rss_kb "$program")" >>"$3"
    [ -z "${4:-}" ] || awk '$6 ~ /\.so/ { print $6 }' "/proc/$program/maps" | sort -u |
        while read -r library; do
            awk -v l="$library" '$0 ~ "^[0-9a-f]+-" { keep = ($6 == l) } keep && $1 == "Rss:" { s += $2 } END { print s, l }' \
                "/proc/$program/smaps"
        done | sort -rn | head -n 6 >"$4"
    kill -TERM "$program" && wait "$program" 2>/dev/null || true
    program=""
    wait_count "\(sent\|stalled\|failed\) " "$2"
}

: >"$work/plain" >"$work/telvane" >"$work/before"
started=0
for run in $(seq "$runs"); do
    began=$(date +%s.%N)
    "$build/bench/e2e/plain_window" >"$work/painted" 2>/dev/null &
    program=$!
    for _ in $(seq 500); do [ -s "$work/painted" ] && break; sleep 0.01; done
    sleep 3
    echo "$(awk -v b="$began" '{ print ($1 - b) * 1000 }' "$work/painted") $(rss_kb "$program")" \
        >>"$work/plain"
    kill -TERM "$program" && wait "$program" 2>/dev/null || true
    program="" && rm -f "$work/painted"

    started=$((started + 1))
    telvane_run "$build/src/app/telvane" "$started" "$work/telvane" \
        "$([ "$run" -lt "$runs" ] || echo "$work/libraries")"
    if [ -n "${TELVANE_BENCH_BEFORE:-}" ]; then
        started=$((started + 1))
        telvane_run "$TELVANE_BENCH_BEFORE/src/app/telvane" "$started" "$work/before" \
            "$([ "$run" -lt "$runs" ] || echo "$work/libraries.before")"
    fi
done

plain_ms=$(cut -d' ' -f1 "$work/plain" | median)
plain_kb=$(cut -d' ' -f2 "$work/plain" | median)
echo "Medians of $runs starts each, under Xvfb (xcb); the window: first paint $(printf %.0f "$plain_ms") ms," \
    "$(awk -v k="$plain_kb" 'BEGIN { printf "%.1f", k / 1024 }') MB resident"
report() { # label, figures file, libraries file
    local ms kb
    ms=$(cut -d' ' -f1 "$2" | median)
    kb=$(cut -d' ' -f2 "$2" | median)
    printf '  %s: start-up to the first command %.0f ms (%.2fx the window), %.1f MB resident (%.2fx)\n' \
        "$1" "$ms" "$(awk -v a="$ms" -v b="$plain_ms" 'BEGIN { print a / b }')" \
        "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$(awk -v a="$kb" -v b="$plain_kb" 'BEGIN { print a / b }')"
    echo "    its libraries with the most resident memory (kB):"
    sed 's/^/      /' "$3"
}
if [ -n "${TELVANE_BENCH_BEFORE:-}" ]; then
    report "Telvane before ($TELVANE_BENCH_BEFORE)" "$work/before" "$work/libraries.before"
fi
report Telvane "$work/telvane" "$work/libraries"
