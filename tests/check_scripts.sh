#!/bin/sh
# The scripts of examples/, bench/, fuzz/ and tools/ answer --help with their usage on standard output, status
# 0; given a wrong argument they name it on standard error, then the usage, status 2. The demo
# tells what the program published, and which property the device held before the run.
# usage: check_scripts.sh SOURCE_DIR
set -u
cd "$1" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/properties" "$work/device/nvram" "$work/half/properties"
printf '#!/bin/sh\necho started >&2\n' >"$work/program" && chmod +x "$work/program"
status=0

# check STATUS LINE SCRIPT [ARGUMENT...]: the script ends with STATUS, and the first line it
# writes is LINE: on standard output for 0; for 2, on standard error, the usage next.
check() {
    want_status=$1 want=$2
    shift 2
    "$@" >"$work/1" 2>"$work/2"
    got_status=$? stream=$((want_status == 0 ? 1 : 2))
    got=$(head -n 1 "$work/$stream")
    [ "$want_status" = 0 ] || sed -n 2p "$work/2" | grep -q "^usage: $1 .*(--help for more)$" ||
        got="$got, without the usage"
    { [ "$got_status" = "$want_status" ] && [ "$got" = "$want" ] &&
        [ ! -s "$work/$((3 - stream))" ]; } ||
        { echo "$*: status $got_status, \"$got\"; expected $want_status, \"$want\""; status=1; }
}

w=$work
for s in examples/demo.sh bench/measure.sh; do
    check 2 "$s: $w/prog: no such program" $s "$w/prog" "$w/device"
    check 2 "$s: $w/device: not an executable program" $s "$w/device" "$w/device"
    check 2 "$s: $w/devise: no such folder" $s "$w/program" "$w/devise"
    check 2 "$s: $w/program: not a folder" $s "$w/program" "$w/program"
    check 2 "$s: $w/half: not a simulated device (it holds properties/ and nvram/)" $s "$w/program" "$w/half"
done
check 0 "usage: examples/demo.sh PROGRAM DEVICE_DIR" examples/demo.sh --help
check 2 "examples/demo.sh: expected 2 arguments, got 0" examples/demo.sh
check 0 "usage: bench/measure.sh PROGRAM DEVICE_DIR [RUNS]" bench/measure.sh --help
check 2 "bench/measure.sh: expected 2 or 3 arguments, got 4" bench/measure.sh "$w/program" "$w/device" 3 4
check 2 "bench/measure.sh: 2x: not a number of runs (a whole number from 1)" \
    bench/measure.sh "$w/program" "$w/device" 2x
check 0 "usage: examples/demo.sh PROGRAM DEVICE_DIR" examples/demo.sh -h
check 0 "usage: fuzz/make-corpus.sh BARCODE_RECORD_TOOL CORPUS_DIR" fuzz/make-corpus.sh --help
check 2 "fuzz/make-corpus.sh: expected 2 arguments, got 1" fuzz/make-corpus.sh "$w/program"
check 2 "tools/check-reproducible.sh: hots: not a configure preset" tools/check-reproducible.sh hots

# published STATUS DEVICE LINES: the demo, with a program that exits STATUS and, when that is 0,
# writes each of the two properties that the device does not hold yet, shows LINES as published.
# The stock device holds an empty ro.serialno before the run, as a stock image's init sets it.
mkdir -p "$w/stock/properties" "$w/stock/nvram" && : >"$w/stock/properties/ro.serialno"
cat >"$w/publisher" <<'EOF'
#!/bin/sh
for p in ro.serialno ro.isn; do
    f=$VOSSEL_DEVICE_DIR/properties/$p
    [ "$STATUS" != 0 ] || [ -e "$f" ] || echo "$p" >"$f"
done
exit "$STATUS"
EOF
chmod +x "$w/publisher"
published() {
    STATUS=$1 examples/demo.sh "$w/publisher" "$w/$2" >"$w/1" 2>"$w/2"
    got_status=$? got=$(sed '1,/^== published$/d' "$w/1")
    { [ "$got_status" = "$1" ] && [ "$got" = "$3" ]; } ||
        { printf 'demo.sh, %s, %s: status %s, published:\n%s\n' "$2" "$1" "$got_status" "$got"
          status=1; }
}
published 0 device 'ro.serialno = "ro.serialno"
ro.isn = "ro.isn"'
published 0 stock 'ro.serialno = "" (set before the run: the program'"'"'s write was dropped)
ro.isn = "ro.isn"'
published 255 stock 'ro.serialno = "" (set before the run)
ro.isn (not written)'
exit $status
