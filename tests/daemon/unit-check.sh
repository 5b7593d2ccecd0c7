#!/usr/bin/env bash
# The system service's unit: "systemd-analyze verify" has nothing to say
# about it, and its offline security review stays at an exposure of 2.0 or
# less (the unit scores 1.5; systemd calls up to 3.9 "OK").
#   unit-check.sh UNIT TELVANED MANPAGE
set -euo pipefail
unit=$1 program=$2 manpage=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# verify wants the program of ExecStart and the manual page of Documentation=.
sed "s|^ExecStart=/usr/bin/telvaned |ExecStart=$program |" "$unit" >"$work/telvaned.service"
grep -q "^ExecStart=$program " "$work/telvaned.service" ||
    { echo "no ExecStart=/usr/bin/telvaned in $unit" >&2; exit 1; }
mkdir -p "$work/man/man8"
gzip -9nc "$manpage" >"$work/man/man8/telvaned.8.gz"

status=0
MANPATH=$work/man systemd-analyze verify "$work/telvaned.service" >"$work/verify.out" 2>&1 || status=$?
if [ "$status" != 0 ] || [ -s "$work/verify.out" ]; then
    echo "systemd-analyze verify (status $status):" >&2
    cat "$work/verify.out" >&2
    exit 1
fi

status=0
systemd-analyze security --offline=true --threshold=20 "$work/telvaned.service" \
    >"$work/security.out" 2>&1 || status=$?
grep 'Overall exposure level' "$work/security.out"
if [ "$status" != 0 ]; then
    grep '✗' "$work/security.out" >&2 || true
    echo "exposure above 2.0" >&2
    exit 1
fi
