#!/usr/bin/env bash
# How soon a window following another Telvane (the Follow setting) shows a
# call: from the publishing Telvane's call-log line reaching disk to the
# following window's number label painting the call's number, over CALLS
# calls (default 20), one at a time: median and worst.
#
# The clock starts when the publisher's RingLog.txt grows, so neither the
# publisher's poll interval nor its reading of the adapter's reply is in the
# figure. In it are: the publisher's work from its log line to the MQTT
# message, mosquitto on loopback, the follower's network thread reading and
# checking the message, the hand-over to the window's thread, the follower's
# own log line, and the label's repaint on Xvfb (stamped as the label starts
# to paint). The time to the message at a plain subscriber (mosquitto_sub)
# is printed beside it. All stamps come from this machine's system clock.
#
# The growth is stamped by a thread of follow_window that waits on inotify
# alone; on a busy machine it may wake late, even after mosquitto_sub got
# the message, which the publisher sends only once the line is written. The
# start is therefore the earlier of the two: a figure that may be a little
# short, never long.
#
# Starts its own broker, ta-sim, Xvfb, private session bus and dunst (the
# follower notifies as on a desktop), and ends them.
#
#   follow-latency.sh [CALLS]   TELVANE_BENCH_BUILD: the build folder (build/release)
set -euo pipefail
calls=${1:-20}

cd "$(dirname "$0")/../.."
build=${TELVANE_BENCH_BUILD:-$PWD/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release >/dev/null
fi
cmake --build "$build" --target telvaned ta-sim telvane_mqtt follow_window >/dev/null
export TELVANE_MQTT_PLUGIN=$build/src/app/libtelvane-mqtt.so
export TELVANE_NUMBER_PLUGIN=$build/src/app/libtelvane-phonenumber.so

work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-follow-XXXXXX")
mkdir -p "$work/config/Maruvo" "$work/runtime" "$work/publisher" "$work/follower"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Runs the command until it succeeds, for at most a minute.
wait_until() {
    local limit=$((SECONDS + 60))
    until "$@"; do
        if [ "$SECONDS" -ge "$limit" ]; then
            echo "timed out: $*" >&2
            tail -n 5 "$work"/*.err "$work/events" "$work/painted" >&2 2>/dev/null || true
            exit 1
        fi
        sleep 0.02
    done
}
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

# The Telvane that is followed: telvaned, as on a box without a desktop,
# polling ta-sim behind COM1 every second and publishing to the broker $1
# under the base topic $2. Its call log is publisher_log.
publisher_log=$work/publisher/RingLog.txt
start_publisher() {
    printf '[1.0]\nPort=COM1\nInterval=" 1秒"\nLogRing=1\nMqttUrl="%s"\nMqttTopic="%s"\n' \
        "$1" "$2" >"$XDG_CONFIG_HOME/Maruvo/Telvane.conf"
    "$build/src/app/telvaned" --log-dir "$work/publisher" 2>"$work/publisher.err" &
    pids+=($!)
}

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n' \
    "$port" "$(id -un)" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2>"$work/broker.err" &
pids+=($!)
wait_until listening

Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_until test -s "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
cat >"$work/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:tmpdir=$work</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/address" 2>/dev/null &
pids+=($!)
wait_until test -s "$work/address"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/address")
export DBUS_SESSION_BUS_ADDRESS
dunst 2>"$work/dunst.err" &
pids+=($!)
wait_until dunstctl count >/dev/null 2>&1

"$build/tools/ta-sim/ta-sim" --link COM1 --no-stdin --seed 1 --caller 0312300000 \
    --control "$work/control" >"$work/events" 2>&1 &
pids+=($!)
wait_until grep -qs " ready" "$work/events"
stdbuf -oL mosquitto_sub -p "$port" -t bench/tel/call -F '%U' >"$work/messages" &
pids+=($!)
start_publisher "mqtt://127.0.0.1:$port" bench/tel
# Its first query logs the caller already there; the follower starts after.
wait_until test -s "$publisher_log"

printf '[1.0]\nFollow="mqtt://127.0.0.1:%s/bench/tel"\nLogRing=1\n' "$port" \
    >"$work/follower/Telvane.conf"
QT_QPA_PLATFORM=xcb "$build/bench/e2e/follow_window" "$work/follower/Telvane.conf" \
    "$work/follower" "$publisher_log" >"$work/painted" 2>"$work/follower.err" &
pids+=($!)
wait_until grep -qs " status 追従中$" "$work/painted"

# One call at a time: the next only once the window shows the one before.
: >"$work/sent"
for i in $(seq "$calls"); do
    number=$(printf '03123%05d' "$i")
    echo "$(date +%s.%N) sent $number" >>"$work/sent"
    echo "caller $number" >"$work/control"
    wait_until grep -qs " number $number$" "$work/painted"
done

# The median and the worst of numbers, one a line.
summary() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "no samples"; exit }
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median %6.2f ms, worst %6.2f ms (%d calls)\n", m, v[NR], NR }'
}
# For each call, from the events after it was sent: the start (the first
# growth of the publisher's log or the first message at mosquitto_sub,
# whichever was seen first), the message and the label painting its number,
# as "to-message to-label" in milliseconds. A call without the message, or
# whose label painted before the start was seen, is counted apart.
{
    cat "$work/sent"
    awk '{ print $1, "message" }' "$work/messages"
    awk '$2 == "grown" { print $1, "grown" } $2 == "number" { print $1, "painted", $3 }' \
        "$work/painted"
} | sort -g | awk '
    function done() {
        if (number == "") return
        start = (grown && (!message || grown < message)) ? grown : message
        if (message && painted >= start)
            printf "%.3f %.3f\n", (message - start) * 1000, (painted - start) * 1000
        else
            print "unsound" }
    $2 == "sent" { done(); number = $3; grown = message = painted = 0 }
    $2 == "grown" && !grown { grown = $1 }
    $2 == "message" && !message { message = $1 }
    $2 == "painted" && $3 == number { painted = $1 }
    END { done() }' >"$work/calls"
grep -v unsound "$work/calls" >"$work/latencies" || true

echo "Following over MQTT on loopback, from the publisher's call-log line on disk:"
echo "  to the message at mosquitto_sub:        $(cut -d' ' -f1 "$work/latencies" | summary)"
echo "  to the following window's number label: $(cut -d' ' -f2 "$work/latencies" | summary)"
unsound=$(grep -c unsound "$work/calls" || true)
if [ "$unsound" -gt 0 ]; then
    echo "  left out: $unsound calls without the message, or seen to grow the log only after the label"
fi
