#!/usr/bin/env bash
# Measures the outputs and prints figures:
#   1. the library alone: from a call handed to the outputs to the hook
#      program running, to the MQTT message at a subscriber on loopback, and
#      to dunst's answer to the Notify call; their idle cost, and that of
#      mqtt:// and mqtts:// with nothing listening;
#   2. the real program against ta-sim: from the call's line landing in the
#      call log (ta-sim --watch) to the Notify call on the bus (dbus-monitor),
#      to the hook program running (it prints the time) and to the MQTT
#      message at mosquitto_sub; processor time and memory of 15-second
#      polling with the outputs on and off.
# Starts its own broker, Xvfb, private session bus and dunst, and ends them.
#
#   run.sh [CALLS]         TELVANE_BENCH_BUILD: the build folder (build/release)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TELVANE_BENCH_BUILD:-$root/build/release}
bench=$build/bench/outputs/outputs-bench
[ -x "$bench" ] || { echo "build the outputs-bench target first" >&2; exit 1; }
# MQTT's plugin for the benchmark and for the program copied below.
export TELVANE_MQTT_PLUGIN=$build/src/app/libtelvane-mqtt.so

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n' \
    "$port" "$(id -un)" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2>"$work/broker.log" &
pids+=($!)

Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

cat >"$work/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:tmpdir=$work</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/address" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/address" ] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/address")

dunst 2>"$work/dunst.log" &
pids+=($!)
for _ in $(seq 100); do dunstctl count >/dev/null 2>&1 && break; sleep 0.1; done

calls=${1:-50}
echo "1. The outputs library, $calls calls:"
TMPDIR=$work QT_QPA_PLATFORM=offscreen "$bench" "$port" "$calls"

# 2. The real program --------------------------------------------------------
mkdir -p "$work/config/Maruvo" "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/src/app/telvane" "$work/bin/telvane"
calllog=$work/bin/RingLog.txt
hooklog=$work/config/Maruvo/Telvane/hook.log

settings() { # interval, then "on" for the outputs
    rm -f "$calllog" "$hooklog"
    {
        printf '[1.0]\nPort=COM1\nInterval="%s"\nLogRing=1\n' "$1"
        if [ "$2" = on ]; then
            printf 'Notify=1\nHookCommand="date +%%s.%%N"\nMqttUrl="mqtt://127.0.0.1:%s"\n' "$port"
            printf 'MqttTopic=bench/real\n'
        else
            printf 'Notify=0\n'
        fi
    } >"$work/config/Maruvo/Telvane.conf"
}
count() { grep -c "$2" "$1" 2>/dev/null || true; }
wait_count() { # file pattern count
    local limit=$((SECONDS + 120))
    while [ "$(count "$1" "$2")" -lt "$3" ]; do
        [ "$SECONDS" -lt "$limit" ] || { echo "timed out waiting for $2 in $1" >&2; exit 1; }
        sleep 0.05
    done
}
start() { # events file, ta-sim options...
    local events=$1
    shift
    XDG_CONFIG_HOME=$work/config "$build/tools/ta-sim/ta-sim" --link COM1 --clock epoch \
        --no-stdin --seed 1 --watch "$calllog" "$@" >"$events" 2>&1 &
    adapter=$!
    pids+=("$adapter")
    wait_count "$events" " ready" 1
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen \
        "$work/bin/telvane" 2>>"$work/telvane.err" &
    program=$!
    pids+=("$program")
}
stop() {
    kill -TERM "$program" "$adapter"
    wait "$program" "$adapter" 2>/dev/null || true
}
median() {
    sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median %7.2f ms   worst %7.2f ms   (%d calls)\n", m, v[NR], NR }'
}
# Each growth of the call log against the first of the other times after
# it (and before the next growth).
against() {
    { grep ' watch' "$work/calls.events" | awk '{ print $1, "w" }'
      awk '{ print $1, "x" }' "$1"; } | sort -g |
        awk '$2 == "w" { w = $1; next } w { print ($1 - w) * 1000; w = 0 }' | median
}

for i in $(seq "$calls"); do printf 'wait-replies %d\nring\n' "$i"; done >"$work/calls.script"
settings " 1秒" on
stdbuf -oL dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" \
    >"$work/notify.monitor" 2>/dev/null &
pids+=($!)
stdbuf -oL mosquitto_sub -p "$port" -t bench/real/call -F '%U' >"$work/mqtt.times" &
pids+=($!)
sleep 0.5
start "$work/calls.events" --script "$work/calls.script"
wait_count "$work/calls.events" " watch" "$calls"
wait_count "$work/mqtt.times" . "$calls"
sleep 1
stop
grep 'member=Notify' "$work/notify.monitor" | grep -o 'time=[0-9.]*' | cut -d= -f2 \
    >"$work/notify.times"
grep -v '^---' "$hooklog" >"$work/hook.times"
echo
echo "2. The real program, $calls calls at a 1-second interval, from the call log line on disk:"
printf '%-44s %s\n' "to the Notify call on the bus" "$(against "$work/notify.times")"
printf '%-44s %s\n' "to the hook program running" "$(against "$work/hook.times")"
printf '%-44s %s\n' "to the MQTT message at mosquitto_sub" "$(against "$work/mqtt.times")"

cpu_ms() {
    local fields
    read -r -a fields <<<"$(sed 's/^.*) //' "/proc/$1/stat")"
    echo $(((fields[11] + fields[12]) * 1000 / $(getconf CLK_TCK)))
}
for outputs in off on; do
    settings "15秒" "$outputs"
    start "$work/idle.events"
    wait_count "$work/idle.events" " sent" 1
    sleep 2
    before=$(cpu_ms "$program")
    sleep 60
    after=$(cpu_ms "$program")
    rss=$(awk '$1 == "VmRSS:" { print $2 }' "/proc/$program/status")
    stop
    echo "15-second polling, outputs $outputs: $((after - before)) ms processor time in 60 s, $rss kB resident"
done
