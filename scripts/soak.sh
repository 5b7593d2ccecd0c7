#!/usr/bin/env bash
# The long runs that do not fit into the test command:
#   1. the month-long soak on the simulated clock (30 days of 15-second
#      polling) from the release build, with its figures;
#   2. one real-time hour of the real program under AddressSanitizer and
#      UndefinedBehaviorSanitizer against ta-sim, polling every 15 seconds
#      while a made-up caller rings every 5 minutes; it reports the processor
#      time the program used and its resident size, and checks that every
#      call reached the call log.
#
#   scripts/soak.sh [--days N] [--seconds N] [--release-dir DIR] [--asan-dir DIR]
#                   [--only-simulated | --only-real]
# Defaults: 30 days, 3600 seconds, build/release and build/asan (configured
# from their presets when they do not exist yet).
set -euo pipefail
cd "$(dirname "$0")/.."

days=30
seconds=3600
release_dir=build/release
asan_dir=build/asan
simulated=1
real=1
while [ $# -gt 0 ]; do
    case "$1" in
    --days) days=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --release-dir) release_dir=$2; shift ;;
    --asan-dir) asan_dir=$2; shift ;;
    --only-simulated) real=0 ;;
    --only-real) simulated=0 ;;
    *)
        sed -n '2,16p' "$0" >&2
        exit 2
        ;;
    esac
    shift
done

configure() { # DIR PRESET
    if [ ! -f "$1/CMakeCache.txt" ]; then
        cmake --preset "$2" -B "$1" >/dev/null
    fi
}

if [ "$simulated" -eq 1 ]; then
    printf '\n==== %s simulated days of 15-second polling ====\n' "$days"
    configure "$release_dir" release
    cmake --build "$release_dir" -j 2 --target soak_tests
    TELVANE_SOAK_DAYS=$days "$release_dir/tests/soak/soak_tests"
fi

[ "$real" -eq 1 ] || exit 0

printf '\n==== %s s of the real program from %s against ta-sim ====\n' "$seconds" "$asan_dir"
configure "$asan_dir" asan
cmake --build "$asan_dir" -j 2 --target telvane ta-sim

work=$(mktemp -d /tmp/telvane-soak-XXXXXX)
config=$work/config
program=$work/program
mkdir -p "$config/Maruvo/Telvane/ports" "$program"
cp "$asan_dir/src/app/telvane" "$program/telvane"
cp "$asan_dir"/src/app/libtelvane-*.so "$program/" 2>/dev/null || true
# Port COM1, 15 seconds, call log on.
printf '[1.0]\nPort=COM1\nInterval=15\xe7\xa7\x92\nLogRing=1\n' >"$config/Maruvo/Telvane.conf"

tasim_pid=
telvane_pid=
cleanup() {
    [ -n "$telvane_pid" ] && kill "$telvane_pid" 2>/dev/null || true
    [ -n "$tasim_pid" ] && kill "$tasim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT

XDG_CONFIG_HOME=$config "$asan_dir/tools/ta-sim/ta-sim" --link COM1 \
    --ports-folder "$config/Maruvo/Telvane/ports" --ring-every 300 --seed 1 --no-stdin \
    --clock epoch >"$work/ta-sim.log" 2>&1 &
tasim_pid=$!
for _ in $(seq 100); do
    [ -L "$config/Maruvo/Telvane/ports/COM1" ] && break
    sleep 0.1
done

# Leaks are looked for at the end; a report would end the program with an
# error status, which is checked below.
(cd "$program" && XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    exec ./telvane >"$work/telvane.log" 2>&1) &
telvane_pid=$!

ticks=$(getconf CLK_TCK)
cpu() { # processor seconds used so far: user + system time
    awk -v t="$ticks" '{ sub(/.*\) /, ""); printf "%.2f", ($12 + $13) / t }' "/proc/$1/stat"
}
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

sleep 60
cpu_start=$(cpu "$telvane_pid")
rss_start=$(rss "$telvane_pid")
echo "after 60 s: $cpu_start s of processor time, resident $rss_start KiB"
elapsed=60
while [ "$elapsed" -lt "$seconds" ]; do
    step=$((seconds - elapsed < 600 ? seconds - elapsed : 600))
    sleep "$step"
    elapsed=$((elapsed + step))
    if ! kill -0 "$telvane_pid" 2>/dev/null; then
        echo "telvane ended by itself after about $elapsed s" >&2
        cat "$work/telvane.log" >&2
        exit 1
    fi
    echo "after $elapsed s: $(cpu "$telvane_pid") s of processor time, resident $(rss "$telvane_pid") KiB"
done
cpu_end=$(cpu "$telvane_pid")
rss_end=$(rss "$telvane_pid")

kill -TERM "$telvane_pid"
status=0
wait "$telvane_pid" || status=$?
telvane_pid=

commands=$(grep -c ' command ' "$work/ta-sim.log" || true)
rings=$(grep -c ' ring ' "$work/ta-sim.log" || true)
logged=$(grep -c $'\r$' "$program/RingLog.txt" 2>/dev/null || true)
kill "$tasim_pid" 2>/dev/null || true
wait "$tasim_pid" 2>/dev/null || true
tasim_pid=

printf '\n==== real-time run: %s s ====\n' "$seconds"
echo "queries answered by ta-sim: $commands"
echo "callers rung: $rings, call log lines: $logged (the first line is the start-up's first answer)"
echo "processor time: $cpu_end s in all, $(awk -v a="$cpu_start" -v b="$cpu_end" 'BEGIN { printf "%.2f", b - a }') s after the first minute"
echo "resident size: $rss_start KiB after the first minute, $rss_end KiB at the end"
echo "exit status after SIGTERM: $status"
if grep -q 'Sanitizer' "$work/telvane.log"; then
    echo "sanitizer reports:"
    grep -A20 'Sanitizer' "$work/telvane.log" | head -60
    status=1
fi
if ! grep -q '^Magic10=' "$config/Maruvo/Telvane.conf"; then
    echo "the settings were not saved"
    status=1
fi
# Every ring is seen by the next answered query, except one that rang in the
# last query's gap before the end.
if [ "$logged" -lt "$rings" ]; then
    echo "calls missing from the call log"
    status=1
fi
echo "work folder: $work"
exit "$status"
