#!/bin/sh
# Fails when the program was built without any of: position independence, full RELRO, a stack
# protector, fortified libc calls with optimisation, or a non-executable stack. Reads the ELF
# as built (its debug information tells how it was compiled), for any architecture.
# usage: check_hardening.sh PROGRAM
set -eu
program=$1
status=0
fail() { echo "$program: $1"; status=1; }

readelf -hW "$program" | grep -q 'Type:.*DYN' || fail "not position-independent (not ET_DYN)"
segments=$(readelf -lW "$program")
echo "$segments" | grep -q 'INTERP' || fail "no program interpreter: not an executable"
echo "$segments" | grep -q 'GNU_RELRO' || fail "no RELRO segment"
stack=$(echo "$segments" | awk '$1 == "GNU_STACK" { print $(NF-1) }')
[ -n "$stack" ] || fail "no GNU_STACK segment: the stack would be executable"
case $stack in *E*) fail "executable stack ($stack)" ;; esac

dynamic=$(readelf -dW "$program")
echo "$dynamic" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
    fail "relocations are not bound at start-up (no -z now): RELRO is partial"
echo "$dynamic" | grep -Eq '\(FLAGS_1\).*PIE' || fail "not flagged PIE"

readelf --dyn-syms -W "$program" | grep -q ' UND __stack_chk_fail' ||
    fail "no stack protector: __stack_chk_fail is not imported"
producer=$(readelf --debug-dump=info "$program" 2>/dev/null | grep -m1 'DW_AT_producer' || true)
echo "$producer" | grep -q -- '-fstack-protector-strong' ||
    fail "not compiled with -fstack-protector-strong"
echo "$producer" | grep -Eq -- ' -O([1-3]|s|fast)?( |$)' || fail "not optimised: fortify is inert"
readelf --debug-dump=macro "$program" 2>/dev/null | grep -q 'macro : _FORTIFY_SOURCE 2$' ||
    fail "not compiled with _FORTIFY_SOURCE=2"
exit $status
