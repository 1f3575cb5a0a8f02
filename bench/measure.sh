#!/usr/bin/env bash
# Measures the whole program, start to exit, against fresh copies of a ready device: median
# wall time over many runs, instructions (callgrind's count of one run, which moves a little with
# the process id's digits and the environment's size), peak RSS, and heap allocations (the
# stand-ins allocate nothing, so every one would be the program's; there must be none). Prints
# a Markdown table.
# usage: measure.sh PROGRAM DEVICE_DIR [RUNS]   e.g. bench/measure.sh build/host/bin/vossel examples/device
set -euo pipefail
usage="usage: $0 PROGRAM DEVICE_DIR [RUNS]"
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    cat <<HELP
$usage
Measures whole runs of PROGRAM against fresh copies of DEVICE_DIR, a ready simulated device
folder with properties/ and nvram/: the median wall time of RUNS runs (200 by default), the
instructions of one run, its peak RSS and its heap allocations, as a Markdown table. Needs
valgrind and /usr/bin/time.
  e.g. $0 build/host/bin/vossel examples/device
HELP
    exit 0
fi
# shellcheck source-path=SCRIPTDIR source=../examples/arguments.sh
. "$(dirname "$0")/../examples/arguments.sh"
{ [ $# -ge 2 ] && [ $# -le 3 ]; } || fail "expected 2 or 3 arguments, got $#"
program=$1
example=$2
runs=${3:-200}
check_program_and_device "$program" "$example"
[[ $runs =~ ^[1-9][0-9]*$ ]] || fail "$runs: not a number of runs (a whole number from 1)"
command -v valgrind >/dev/null || { echo "$0: needs valgrind (apt-get install valgrind)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "$0: needs /usr/bin/time (apt-get install time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vossel-measure-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A fresh device for every run: the program's "ro." properties can be set only once.
fresh_device() {
    rm -rf "$work/device"
    cp -R "$example/." "$work/device"
}

# Runs the program once on a fresh device, under the given command if any; prints what the
# command and the program write on standard error.
once() {
    fresh_device
    { VOSSEL_DEVICE_DIR=$work/device "$@" "$program" >/dev/null; } 2>&1
}

times=()
for ((i = 0; i < runs; i++)); do
    fresh_device
    start=$EPOCHREALTIME
    VOSSEL_DEVICE_DIR=$work/device "$program" 2>/dev/null ||
        { echo "$program exited with status $? against $example" >&2; exit 1; }
    end=$EPOCHREALTIME
    times+=($((${end/./} - ${start/./})))
done
median_us=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$((runs / 2 + 1))p")

callgrind=(valgrind --tool=callgrind --callgrind-out-file=/dev/null)
instructions=$(once "${callgrind[@]}" | sed -n 's/.*Collected : //p')
in_main=$(once "${callgrind[@]}" --toggle-collect=main | sed -n 's/.*Collected : //p')
heap=$(once valgrind --tool=memcheck | sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p')
peak_rss_kb=$(once /usr/bin/time -f '%M' | tail -n 1)

cat <<TABLE
| measure | value |
|---|---|
| wall time, start to exit (median of $runs runs) | $median_us µs |
| instructions, whole process | $instructions |
| instructions in \`main\` | $in_main |
| peak RSS | $peak_rss_kb KiB |
| heap allocations | $heap |
TABLE
[ "$heap" = 0 ] || { echo "the program allocated on the heap" >&2; exit 1; }
