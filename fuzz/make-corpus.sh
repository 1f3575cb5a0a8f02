#!/bin/sh
# Writes the seed corpus of program_fuzzer: one input for each way an NVRAM file can end a run.
# Each is a flags byte, the reported record size and count (little-endian), then the delivered
# bytes; the records come from barcode-record.
# usage: make-corpus.sh BARCODE_RECORD_TOOL CORPUS_DIR
set -eu
usage="usage: $0 BARCODE_RECORD_TOOL CORPUS_DIR"
case ${1:-} in
    -h | --help)
        echo "$usage"
        echo "  e.g. $0 build/host/bin/barcode-record fuzz/corpus (built by the test workflow)"
        exit 0 ;;
esac
if [ $# -ne 2 ]; then
    printf '%s: expected 2 arguments, got %s\n%s (--help for more)\n' "$0" $# "$usage" >&2
    exit 2
fi
if [ ! -x "$1" ]; then
    echo "$0: $1 is not the barcode-record program (cmake --workflow --preset test builds it)" >&2
    exit 2
fi
tool=$1
corpus=$2
mkdir -p "$corpus"

# seed NAME FLAGS SIZE COUNT: the header, as octal escapes for printf.
# shellcheck disable=SC2059 # the escapes are the format
seed() { printf "$2$3$4" >"$corpus/$1"; }
# Several seeds are records a device warns of: make's status 1 (written, with warnings) is fine.
record() { "$tool" make "$@" || [ $? -eq 1 ]; }
n0='\000\000\000\000'
n1='\001\000\000\000'
n2='\002\000\000\000'
n512='\000\002\000\000'
n1024='\000\004\000\000'

seed typical '\000' "$n0" "$n0"
record --serial 'SN-0042 A/B' --isn ISN-2026-000042 >>"$corpus/typical"
seed reported-as-given '\006' "$n1024" "$n1"
record --serial ab12 --isn 'caf\xc3\xa9' >>"$corpus/reported-as-given"
seed close-fails '\020' "$n0" "$n0"
record --serial SN1 --isn ISN1 >>"$corpus/close-fails"
seed high-bytes '\000' "$n0" "$n0"
record --serial '\x80S\xffN\xe9\x01' --isn '\xff\xfe\x80\x7f' >>"$corpus/high-bytes"
seed empty-texts '\000' "$n0" "$n0"
record --serial '' --isn '' >>"$corpus/empty-texts"

# A serial field with no zero up to the ISN, and an ISN that runs to the record's end.
seed unterminated '\000' "$n0" "$n0"
{ head -c 104 /dev/zero; head -c 920 /dev/zero | tr '\0' 'A'; } >>"$corpus/unterminated"

seed not-opened '\001' "$n0" "$n0"
seed two-records '\004' "$n0" "$n2"
record --serial SN1 --isn ISN1 >>"$corpus/two-records"
record --serial SN2 --isn ISN2 >>"$corpus/two-records"
seed small-records '\002' "$n512" "$n0"
record --serial SN1 --isn ISN1 | head -c 512 >>"$corpus/small-records"
seed short-read '\000' "$n0" "$n0"
record --serial SN1 --isn ISN1 | head -c 1023 >>"$corpus/short-read"
seed unreadable '\010' "$n0" "$n0"
