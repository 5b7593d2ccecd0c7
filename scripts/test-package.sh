#!/usr/bin/env bash
# Makes the Debian package from the release build (build/release, already
# built: only the packaged targets are brought up to date) and checks it:
#   1. desktop-file-validate, appstreamcli validate --no-net and lintian;
#   2. the file list of the package, unpacked into a temporary root;
#   3. the unpacked telvane, run offscreen as an unprivileged user with a
#      private home against the unpacked ta-sim: a call reaches the call log
#      in the XDG data folder, since the program's folder is not writable;
#   4. the unpacked telvaned: its unit (systemd-analyze verify and security),
#      and the program itself, without Qt, logging a call from ta-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$repo/build/release
id=jp.maruvo.Telvane

if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "No release build in $build: run cmake --preset release and build it first." >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/telvane-package-XXXXXX")
chmod 755 "$work"
adapter=""
program=""
cleanup() {
    local pid
    for pid in $program $adapter; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

cmake --build "$build" --target telvane telvaned telvane_phonenumber telvane_mqtt ta-sim telvane_package_data >/dev/null
rm -rf "$build/package"
if ! (cd "$build" && cpack -G DEB -B "$build/package") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
deb=$(ls "$build"/package/telvane_*_amd64.deb)
echo "Package: $deb"

root=$work/root
dpkg-deb -x "$deb" "$root"

echo "== validators"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
# Errors fail the stage; warnings are printed.
status=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
if [ "$status" != 0 ]; then
    echo "lintian found errors" >&2
    exit 1
fi
echo "lintian: no errors"

echo "== file list"
expected="lib/systemd/system/telvaned.service
usr/bin/ta-sim
usr/bin/telvane
usr/bin/telvaned
usr/lib/telvane/plugins/libtelvane-mqtt.so
usr/lib/telvane/plugins/libtelvane-phonenumber.so
usr/share/applications/$id.desktop
usr/share/doc/telvane/changelog.gz
usr/share/doc/telvane/copyright"
for size in 128 16 256 32 48 64; do
    expected+=$'\n'"usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
done
expected+="
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/ta-sim.1.gz
usr/share/man/man1/telvane.1.gz
usr/share/man/man8/telvaned.8.gz
usr/share/metainfo/$id.metainfo.xml"
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$(echo "$expected" | LC_ALL=C sort)" ]; then
    echo "Unexpected file list:" >&2
    diff <(echo "$expected" | LC_ALL=C sort) <(echo "$actual") >&2 || true
    exit 1
fi
for size in 16 32 48 64 128 256; do
    [ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")" = "${size}x${size}" ] ||
        { echo "The ${size}px icon has another size" >&2; exit 1; }
done

echo "== the installed program logs a call"
# The user's own home, XDG folders and an unwritable program folder. Root may
# write anywhere, so as root the program runs as nobody.
home=$work/home
mkdir -p "$home/config/Maruvo" "$home/data" "$home/runtime"
chmod 700 "$home/runtime"
# MQTT towards a port where nothing listens: its plugin is opened all the same.
printf '[1.0]\nPort=COM1\nInterval=15秒\nLogRing=1\nMqttUrl=mqtt://127.0.0.1:9\n' \
    >"$home/config/Maruvo/Telvane.conf"
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown -R nobody:nogroup "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$root/usr/bin"
fi
# Runs in place of the calling (background) shell, so that $! is the program.
run() {
    exec "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" \
        XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen \
        LANG=C.UTF-8 "$@"
}
events=$work/ta-sim.log
run "$root/usr/bin/ta-sim" --link COM1 --caller 0312345678 --no-stdin >"$events" 2>&1 &
adapter=$!
for _ in $(seq 100); do
    grep -q " link COM1 " "$events" 2>/dev/null && break
    sleep 0.1
done
run "$root/usr/bin/telvane" 2>"$work/telvane.err" &
program=$!
log=$home/data/Maruvo/Telvane/RingLog.txt
for _ in $(seq 300); do
    [ -s "$log" ] && break
    sleep 0.1
done
if ! grep -Eq '^[0-9/: ]*,[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9:]{8},0312345678'$'\r''$' "$log" 2>/dev/null; then
    echo "No call reached $log" >&2
    cat "$events" "$work/telvane.err" >&2
    exit 1
fi
if [ -e "$root/usr/bin/RingLog.txt" ]; then
    echo "The program wrote into its own folder" >&2
    exit 1
fi
# libmosquitto and OpenSSL come only with the plugin, which the installed
# program finds in its own folder under /usr/lib.
if ldd "$root/usr/bin/telvane" | grep -Eq 'libmosquitto|libssl'; then
    echo "The program itself links libmosquitto or OpenSSL" >&2
    exit 1
fi
if ! grep -q "$root/usr/lib/telvane/plugins/libtelvane-mqtt.so" "/proc/$program/maps"; then
    echo "The installed program did not open its MQTT plugin" >&2
    cat "$work/telvane.err" >&2
    exit 1
fi
kill -TERM "$program"
wait "$program" || true
program=""
grep -q '^LogRing=1' "$home/config/Maruvo/Telvane.conf"
echo "Call log: $(tr -d '\r' <"$log")"

echo "== the installed telvaned"
gzip -dc "$root/usr/share/man/man8/telvaned.8.gz" >"$work/telvaned.8"
bash tests/daemon/unit-check.sh "$root/lib/systemd/system/telvaned.service" \
    "$root/usr/bin/telvaned" "$work/telvaned.8"
if ldd "$root/usr/bin/telvaned" | grep -Eq 'libQt|libmosquitto|libssl'; then
    echo "telvaned links Qt, libmosquitto or OpenSSL" >&2
    exit 1
fi
"$root/usr/bin/telvaned" --help | grep -q '^Usage: telvaned'
# A settings file of its own, as the system service has, never written; the
# adapter named by its link, so that a missing link never means a real port.
printf '[1.0]\nInterval=15秒\nLogRing=1\nMqttUrl=mqtt://127.0.0.1:9\n' >"$work/telvaned.conf"
chmod a+r "$work/telvaned.conf"
cp "$work/telvaned.conf" "$work/telvaned.conf.before"
state=$home/state
run "$root/usr/bin/telvaned" --config "$work/telvaned.conf" --state-dir "$state" \
    --log-dir "$state" --device "$home/config/Maruvo/Telvane/ports/COM1" 2>"$work/telvaned.err" &
program=$!
for _ in $(seq 300); do
    [ -s "$state/RingLog.txt" ] && break
    sleep 0.1
done
if ! grep -Eq ',0312345678'$'\r''$' "$state/RingLog.txt" 2>/dev/null ||
    ! grep -q "$root/usr/lib/telvane/plugins/libtelvane-mqtt.so" "/proc/$program/maps"; then
    echo "The installed telvaned logged no call or did not open its MQTT plugin" >&2
    cat "$events" "$work/telvaned.err" >&2
    exit 1
fi
kill -TERM "$program"
status=0
wait "$program" || status=$?
program=""
if [ "$status" != 0 ] || ! grep -q '^Magic10=.*0312345678' "$state/telvaned.state" ||
    ! cmp -s "$work/telvaned.conf" "$work/telvaned.conf.before"; then
    echo "telvaned did not save its state as it should (status $status)" >&2
    cat "$work/telvaned.err" >&2
    exit 1
fi
head -n 1 "$work/telvaned.err"
echo "Package checks passed."
