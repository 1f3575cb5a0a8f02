#!/bin/sh
# Fails when the program allocates on the heap in a whole run against a copy of a ready device.
# The stand-ins allocate nothing, so every allocation valgrind counts would be the program's.
# usage: check_no_heap.sh VALGRIND PROGRAM DEVICE_DIR
set -eu
valgrind=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$3/." "$work"

VOSSEL_DEVICE_DIR=$work "$valgrind" --tool=memcheck --error-exitcode=1 "$program" \
    >/dev/null 2>"$work/valgrind.log"
grep -q 'total heap usage: 0 allocs' "$work/valgrind.log" || { cat "$work/valgrind.log"; exit 1; }
