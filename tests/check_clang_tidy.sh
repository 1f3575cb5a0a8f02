#!/bin/sh
# Runs clang-tidy on each file in a process of its own, as many at once as there are processors:
# clang-tidy 14 takes the va_list of any file after the first that calls va_start as unset. The
# files after --cxx17 are checked as C++17: that is the compiler's default, so their compile
# commands do not say it, and a file that this build does not compile (the fuzzer's, or the
# benchmarks' in a sanitized build) gets the command of a neighbour, which may be C++11.
# usage: check_clang_tidy.sh CLANG_TIDY BUILD_DIR FILE... [--cxx17 FILE...]
set -u
tidy=$1 build=$2
shift 2
jobs=$(nproc 2>/dev/null || echo 2)
status=0
# check [ARGUMENT...]: the files named one a line on standard input.
check() {
    xargs -r -d '\n' -n 1 -P "$jobs" "$tidy" -quiet -p "$build" "$@"
}
# The files before --cxx17, and those after it, one a line.
before() {
    for file; do
        [ "$file" != --cxx17 ] || break
        printf '%s\n' "$file"
    done
}
after() {
    while [ $# -gt 0 ] && [ "$1" != --cxx17 ]; do shift; done
    [ $# -eq 0 ] || shift
    for file; do printf '%s\n' "$file"; done
}
before "$@" | check || status=1
after "$@" | check --extra-arg=-std=c++17 || status=1
exit $status
