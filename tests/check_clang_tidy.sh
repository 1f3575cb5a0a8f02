#!/bin/sh
# Runs clang-tidy on each file in a process of its own: clang-tidy 14 takes the va_list of any
# file after the first that calls va_start as unset. C++ files that state no standard are C++17,
# the compiler's default, which clang-tidy's own default is not; a file's own -std comes later
# and wins.
# usage: check_clang_tidy.sh CLANG_TIDY BUILD_DIR FILE...
set -u
tidy=$1 build=$2
shift 2
status=0
for file; do
    case $file in
        *.c) "$tidy" -quiet -p "$build" "$file" || status=1 ;;
        *) "$tidy" -quiet -p "$build" --extra-arg-before=-std=c++17 "$file" || status=1 ;;
    esac
done
exit $status
