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
# shellcheck source-path=SCRIPTDIR source=arguments.sh
. "$(dirname "$0")/arguments.sh"
[ $# -eq 2 ] || fail "expected 2 arguments, got $#"
program=$1
example=$2
check_program_and_device "$program" "$example"

device=$(mktemp -d "${TMPDIR:-/tmp}/vossel-demo-XXXXXX")
trap 'rm -rf "$device"' EXIT
cp -R "$example"/. "$device"

# A "ro." property keeps the first value it is given. One that the device holds before the run,
# as a stock image's init sets ro.serialno, keeps that value, and the program's write is dropped.
properties="ro.serialno ro.isn"
set_before=
for property in $properties; do
    [ ! -e "$device/properties/$property" ] || set_before="$set_before $property "
done

echo "== $program, against a copy of $example in $device"
echo "== log"
status=0
VOSSEL_DEVICE_DIR=$device "$program" || status=$?
echo "== exit status $status"
echo "== published"
for property in $properties; do
    note=
    case $set_before in *" $property "*)
        note=" (set before the run)"
        [ "$status" != 0 ] || note=" (set before the run: the program's write was dropped)" ;;
    esac
    if [ -f "$device/properties/$property" ]; then
        printf '%s = "%s"%s\n' "$property" "$(cat "$device/properties/$property")" "$note"
    else
        printf '%s (not written)\n' "$property"
    fi
done
exit "$status"
