#!/bin/sh
# Configures the project afresh where none of the optional tools can be found (clang-format,
# clang-tidy, cppcheck, shellcheck, valgrind, Google Benchmark, mandoc, the Debian package tools):
# configure must say what to install, and their tests must be registered and reported by CTest
# as skipped, the run staying green.
# usage: check_missing_tools.sh SOURCE_DIR CMAKE CTEST GENERATOR MAKE_PROGRAM C_COMPILER
#            CXX_COMPILER [GTEST_DIR]
set -eu
source_dir=$1 cmake=$2 ctest=$3 generator=$4 make_program=$5 cc=$6 cxx=$7 gtest_dir=${8:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# CMake looks for programs and packages on the PATH only, and the PATH holds nothing but what
# the compilers run: the assembler and the linker. GoogleTest is the one found before, if any.
mkdir "$work/bin"
for tool in as ld; do
    ln -s "$(command -v "$tool")" "$work/bin/$tool"
done
PATH=$work/bin "$cmake" -G "$generator" -S "$source_dir" -B "$work/build" \
    -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF -DGTest_DIR="$gtest_dir" \
    -DCMAKE_MAKE_PROGRAM="$make_program" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$work/configure.log"
status=0
tests="format clang_tidy cppcheck cppcheck_host_code shellcheck no_heap_allocations benchmarks
       manual_page_lint package"
# shellcheck disable=SC2086 # the words of tests are the tests
PATH=$work/bin "$ctest" --test-dir "$work/build" -R "^($(echo $tests | tr ' ' '|'))\$" \
    >"$work/ctest.log" || { echo "ctest failed"; status=1; }
for package in clang-format clang-tidy cppcheck shellcheck valgrind libbenchmark-dev mandoc \
    dpkg-dev; do
    grep -q "^-- .* not found: .*(apt-get install $package)$" "$work/configure.log" ||
        { echo "configure does not name $package as missing"; status=1; }
done
for test in $tests; do
    grep -Eq "Test +#[0-9]+: $test \.+\*+Skipped" "$work/ctest.log" ||
        { echo "$test is not reported as skipped"; status=1; }
done
[ $status = 0 ] || cat "$work/configure.log" "$work/ctest.log"
exit $status
