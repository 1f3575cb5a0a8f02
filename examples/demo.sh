#!/bin/sh
# Runs the program once against a fresh copy of an example device directory and shows what it
# logged and published.
# usage: demo.sh PROGRAM DEVICE_DIR
set -eu
usage="usage: $0 PROGRAM DEVICE_DIR"
if [ "${1:-}" = --help ]; then
    echo "$usage"
    echo "Runs PROGRAM once against a fresh copy of DEVICE_DIR, a simulated device folder with"
    echo "properties/ and nvram/ (e.g. examples/device), and shows its log, its exit status and"
    echo "the properties it published. The copy is removed afterwards."
    exit 0
fi
# A mistake: what is wrong, then the usage; status 2.
fail() {
    echo "$0: $1" >&2
    echo "$usage (--help for more)" >&2
    exit 2
}
[ $# -eq 2 ] || fail "expected 2 arguments, got $#"
program=$1
example=$2
[ -e "$program" ] || fail "$program: no such program"
[ -f "$program" ] && [ -x "$program" ] || fail "$program: not an executable program"
[ -e "$example" ] || fail "$example: no such folder"
[ -d "$example" ] || fail "$example: not a folder"
[ -d "$example/properties" ] && [ -d "$example/nvram" ] ||
    fail "$example: not a simulated device (it holds properties/ and nvram/)"

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
