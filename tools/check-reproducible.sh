#!/bin/sh
# Builds the program of each configure preset from two clean clones of the committed HEAD at
# different paths, strips both and compares them byte for byte: the same sources must give the
# same program, build-id included, whatever folder the checkout sits in. Prints the differing
# offsets and fails when they differ.
# usage: tools/check-reproducible.sh [PRESET...]   (default: host armv7)
set -eu
usage="usage: $0 [PRESET...]   configure presets, by default: host armv7"
case ${1:-} in
    -h | --help) echo "$usage"; exit 0 ;;
esac
[ $# -gt 0 ] || set -- host armv7
checkout=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
presets=$(cmake --list-presets=configure -S "$checkout" 2>/dev/null | sed -n 's/^  "\([^"]*\)".*/\1/p')
for preset in "$@"; do
    echo "$presets" | grep -qx -- "$preset" ||
        { printf '%s: %s: not a configure preset\n%s (--help for more)\n' "$0" "$preset" "$usage" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/vossel-reproducible-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Two checkouts that share no part of their path below $work.
first=$work/a
second=$work/elsewhere/at/another/depth
git -c advice.detachedHead=false clone -q "$checkout" "$first"
git -c advice.detachedHead=false clone -q "$checkout" "$second"

status=0
for preset in "$@"; do
    for clone in "$first" "$second"; do
        build=$clone/build/$preset
        { cmake --preset "$preset" -S "$clone" -B "$build" -DBUILD_TESTING=OFF \
              >"$work/log" 2>&1 &&
            cmake --build "$build" --target vossel >>"$work/log" 2>&1; } ||
            { cat "$work/log"; exit 1; }
        strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
        "$strip" -o "$clone/vossel-$preset" "$build/bin/vossel"
    done
    if cmp -s "$first/vossel-$preset" "$second/vossel-$preset"; then
        echo "$preset: the stripped program is identical from both checkouts"
    else
        echo "$preset: the stripped programs differ at these offsets (byte values in octal):"
        cmp -l "$first/vossel-$preset" "$second/vossel-$preset" | head -n 40
        status=1
    fi
done
exit $status
