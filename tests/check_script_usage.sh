#!/bin/sh
# The scripts of examples/ and bench/ answer --help with their usage on standard output, status
# 0; given wrong arguments they name the one that is wrong on standard error, then the usage,
# status 2, and start nothing.
# usage: check_script_usage.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/properties" "$work/device/nvram" "$work/half/properties"
printf '#!/bin/sh\necho started >&2\n' >"$work/program"
chmod +x "$work/program"
status=0

# check SCRIPT STATUS LINE [ARGUMENT...]: run with the arguments, the script ends with STATUS,
# and the first line it writes is LINE: on standard output for 0, else on standard error,
# followed there by the usage.
check() {
    path=$source_dir/$1 want_status=$2 want=$3
    shift 3
    "$path" "$@" >"$work/out" 2>"$work/err"
    got_status=$?
    if [ "$want_status" = 0 ]; then
        got=$(head -n 1 "$work/out") other=$work/err
    else
        got=$(head -n 1 "$work/err") other=$work/out
        sed -n 2p "$work/err" | grep -q "^usage: $path PROGRAM DEVICE_DIR.* (--help for more)$" ||
            got="$got, without the usage"
    fi
    if [ "$got_status" != "$want_status" ] || [ "$got" != "$want" ] || [ -s "$other" ]; then
        echo "$path $*: status $got_status, \"$got\"; expected $want_status, \"$want\""
        status=1
    fi
}

w=$work
for script in examples/demo.sh bench/measure.sh; do
    s=$source_dir/$script
    check $script 2 "$s: $w/prog: no such program" "$w/prog" "$w/device"
    check $script 2 "$s: $w/device: not an executable program" "$w/device" "$w/device"
    check $script 2 "$s: $w/devise: no such folder" "$w/program" "$w/devise"
    check $script 2 "$s: $w/program: not a folder" "$w/program" "$w/program"
    check $script 2 "$s: $w/half: not a simulated device (it holds properties/ and nvram/)" \
        "$w/program" "$w/half"
done
d=examples/demo.sh
check $d 0 "usage: $source_dir/$d PROGRAM DEVICE_DIR" --help
check $d 2 "$source_dir/$d: expected 2 arguments, got 0"
check $d 2 "$source_dir/$d: expected 2 arguments, got 3" "$w/program" "$w/device" 3
m=bench/measure.sh
check $m 0 "usage: $source_dir/$m PROGRAM DEVICE_DIR [RUNS]" --help
check $m 2 "$source_dir/$m: expected 2 or 3 arguments, got 1" "$w/program"
check $m 2 "$source_dir/$m: expected 2 or 3 arguments, got 4" "$w/program" "$w/device" 3 4
check $m 2 "$source_dir/$m: 0: not a number of runs (a whole number from 1)" \
    "$w/program" "$w/device" 0
check $m 2 "$source_dir/$m: 2x: not a number of runs (a whole number from 1)" \
    "$w/program" "$w/device" 2x
exit $status
