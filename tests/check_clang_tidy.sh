#!/bin/sh
# Runs clang-tidy on each file in a process of its own: clang-tidy 14 takes the va_list of any
# file after the first that calls va_start as unset. The files after --cxx17 are checked as
# C++17: that is the compiler's default, so their compile commands do not say it, and a file
# that this build does not compile (the fuzzer's, or the benchmarks' in a sanitized build) gets
# the command of a neighbour, which may be C++11.
# usage: check_clang_tidy.sh CLANG_TIDY BUILD_DIR FILE... [--cxx17 FILE...]
set -u
tidy=$1 build=$2
shift 2
status=0
standard=
for file; do
    if [ "$file" = --cxx17 ]; then
        standard=--extra-arg=-std=c++17
        continue
    fi
    # shellcheck disable=SC2086 # no standard is no argument
    "$tidy" -quiet -p "$build" $standard "$file" || status=1
done
exit $status
