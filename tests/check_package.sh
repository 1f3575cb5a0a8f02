#!/bin/sh
# Makes the Debian package of a build with CPack and unpacks it with dpkg-deb: the tool in it
# must answer as the build's tool does, its fields must be filled, its page must carry the
# version, and it must hold exactly what cmake --install installs.
# usage: check_package.sh BUILD_DIR CMAKE CPACK DPKG_DEB BUILT_TOOL VERSION RECORD
set -eu
build=$1 cmake=$2 cpack=$3 dpkg_deb=$4 built=$5 version=$6 record=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cpack" -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
set -- "$work"/package/*.deb
{ [ $# -eq 1 ] && [ -f "$1" ]; } || { echo "not one package: $*"; exit 1; }
deb=$1
"$dpkg_deb" -x "$deb" "$work/root"
packaged=$work/root/usr/bin/barcode-record

status=0
fail() {
    echo "$*"
    status=1
}
# Each command line gives the same output and exit status from the packaged tool as from the
# built one.
answer() {
    tool=$1
    shift
    "$tool" "$@" <"$record" 2>&1 && echo "status 0" || echo "status $?"
}
for args in "--version" "inspect $record" "inspect --json $record -" "make --serial S" \
    "make --serial S --isn I\\x0d -o -"; do
    # shellcheck disable=SC2086 # the words of args are the arguments
    answer "$built" $args >"$work/built"
    # shellcheck disable=SC2086
    answer "$packaged" $args >"$work/packaged"
    diff -u "$work/built" "$work/packaged" || fail "the packaged tool answers otherwise: $args"
done
[ "$("$packaged" --version)" = "barcode-record $version" ] || fail "not version $version"

field() { "$dpkg_deb" -f "$deb" "$1"; }
[ "$(field Package)" = barcode-record ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
field Depends | grep -q '^libc6 (>= [0-9.]*)' || fail "Depends: $(field Depends)"
[ "$(field Description | wc -l)" -ge 3 ] || fail "Description: $(field Description)"
gzip -dc "$work/root/usr/share/man/man1/barcode-record.1.gz" | grep -qx ".Os vossel $version" ||
    fail "the page's footer does not give version $version"

# The same files, the same modes, from both.
"$cmake" --install "$build" --prefix "$work/installed" >"$work/log" ||
    { cat "$work/log"; exit 1; }
(cd "$work/root/usr" && find . -type f -exec stat -c '%a %n' {} + | sort) >"$work/package.list"
(cd "$work/installed" && find . -type f -exec stat -c '%a %n' {} + | sort) >"$work/install.list"
diff -u "$work/package.list" "$work/install.list" || fail "cmake --install installs otherwise"
exit $status
