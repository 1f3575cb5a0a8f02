#!/bin/sh
# Runs the program once against a fresh copy of an example device directory and shows what it
# logged and published.
# usage: demo.sh PROGRAM DEVICE_DIR
set -eu
usage="usage: $0 PROGRAM DEVICE_DIR"
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    echo "$usage"
    echo "Runs PROGRAM once against a fresh copy of DEVICE_DIR, a simulated device folder with"
    echo "properties/ and nvram/ (e.g. examples/device), and shows its log, its exit status and"
    echo "the properties it published. The copy is removed afterwards."
    exit 0
fi
. "$(dirname "$0")/arguments.sh"
[ $# -eq 2 ] || fail "expected 2 arguments, got $#"
program=$1
example=$2
check_program_and_device "$program" "$example"

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
