#!/usr/bin/env bash
# Measures the outputs and prints figures: from a call handed to them to the
# hook program running, to the MQTT message at a subscriber on loopback, and
# to dunst's answer to the Notify call; and the processor time and memory
# they add while idle. Starts its own broker, Xvfb, private session bus and
# dunst, and ends them.
#
#   run.sh [CALLS]         TELVANE_BENCH_BUILD: the build folder (build/release)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TELVANE_BENCH_BUILD:-$root/build/release}
bench=$build/bench/outputs/outputs-bench
[ -x "$bench" ] || { echo "build the outputs-bench target first" >&2; exit 1; }

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

TMPDIR=$work QT_QPA_PLATFORM=offscreen "$bench" "$port" "${1:-50}"
