#!/bin/sh
# Runs shellcheck over every shell script of the repository: each file named *.sh, and each whose
# first line starts a shell (#!/bin/sh, #!/usr/bin/env bash, ...), such as .ci/run. The files are
# those git tracks; outside a git checkout, those below SOURCE_DIR but for .git/ and build/. A
# sourced file is checked along with each script that sources it (-x), as its directive names it.
# Prints the scripts checked; fails on any finding, or when it finds no script.
# usage: check_shellcheck.sh SHELLCHECK SOURCE_DIR
set -eu
shellcheck=$1
cd "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    git ls-files
else
    find . \( -name .git -o -path ./build \) -prune -o -type f -print | sed 's|^\./||' | sort
fi >"$work/files"
while IFS= read -r file; do
    [ -f "$file" ] || continue
    case $file in
        *.sh) echo "$file" ;;
        *) if head -n 1 "$file" | grep -Eq '^#!.*[/ ](sh|bash|dash|ksh)([[:space:]]|$)'; then
               echo "$file"
           fi ;;
    esac
done <"$work/files" >"$work/scripts"
[ -s "$work/scripts" ] || { echo "no shell script found in $2"; exit 1; }
cat "$work/scripts"
xargs -d '\n' "$shellcheck" -x <"$work/scripts"
