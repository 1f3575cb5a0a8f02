#!/bin/sh
# Runs the program once against a fresh copy of an example device directory and shows what it
# logged and published.
# usage: demo.sh PROGRAM DEVICE_DIR
set -eu
program=$1
example=$2

device=$(mktemp -d "${TMPDIR:-/tmp}/vossel-demo-XXXXXX")
trap 'rm -rf "$device"' EXIT
cp -R "$example"/. "$device"

echo "== $program, against a copy of $example in $device"
echo "== log"
status=0
VOSSEL_DEVICE_DIR=$device "$program" || status=$?
echo "== exit status $status"
echo "== published"
for property in ro.serialno ro.isn; do
    if [ -f "$device/properties/$property" ]; then
        printf '%s = %s\n' "$property" "$(cat "$device/properties/$property")"
    else
        printf '%s (not written)\n' "$property"
    fi
done
exit "$status"
