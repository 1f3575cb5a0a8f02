#!/bin/sh
# Fails when Android.mk builds the program from other sources than the CMake build.
# usage: check_android_mk.sh ANDROID_MK SOURCE...
set -eu
android_mk=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# LOCAL_SRC_FILES with its continuation lines joined, one source a line.
sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$android_mk" |
    sed -n 's/^LOCAL_SRC_FILES[[:space:]]*:=//p' | tr -s ' \t' '\n' | sed '/^$/d' |
    sort >"$work/Android.mk"
printf '%s\n' "$@" | sort >"$work/CMakeLists.txt"
cd "$work"
diff -u Android.mk CMakeLists.txt
