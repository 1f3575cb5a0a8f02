#!/bin/sh
# A configure with no preset and no build type builds the program as hardened as the presets do.
# usage: check_plain_build.sh SOURCE_DIR CMAKE GENERATOR MAKE_PROGRAM C_COMPILER CXX_COMPILER
set -eu
source_dir=$1 cmake=$2 generator=$3 make_program=$4 cc=$5 cxx=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# CMake takes a build type from the environment too: there is none here.
env -u CMAKE_BUILD_TYPE "$cmake" -G "$generator" -S "$source_dir" -B "$work" \
    -DBUILD_TESTING=OFF -DCMAKE_MAKE_PROGRAM="$make_program" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_CXX_COMPILER="$cxx" >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
"$cmake" --build "$work" --target vossel >"$work/build.log" || { cat "$work/build.log"; exit 1; }
sh "$(dirname "$0")/check_hardening.sh" "$work/bin/vossel"
