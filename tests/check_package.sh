#!/bin/sh
# Makes the Debian packages of a build with CPack, one per host tool, and unpacks each with
# dpkg-deb: the tool in it must answer as the build's tool does, its fields must be filled, its
# page must carry the version, and it must hold exactly what cmake --install installs of its
# component.
# usage: check_package.sh BUILD_DIR CMAKE CPACK DPKG_DEB VERSION BARCODE_RECORD RECORD
#                         VOSSEL_CHECK MAKE_PRODUCT
set -eu
build=$1 cmake=$2 cpack=$3 dpkg_deb=$4 version=$5 barcode_record=$6 record=$7 vossel_check=$8
make_product=$9
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cpack" -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
set -- "$work"/package/*.deb
[ $# -eq 2 ] || { echo "not two packages: $*"; exit 1; }
"$make_product" "$work/wired"
"$make_product" --stock "$work/stock"

status=0
fail() {
    echo "$*"
    status=1
}
# The output and exit status of a command line, standard input the record.
answer() {
    tool=$1
    shift
    "$tool" "$@" <"$record" 2>&1 && echo "status 0" || echo "status $?"
}
# check NAME BUILT_TOOL ARGS...: each ARGS (words separated by spaces) gives the same output
# and exit status from the packaged tool as from the built one.
check() {
    name=$1 built=$2
    shift 2
    deb=$(echo "$work/package/${name}_"*.deb)
    [ -f "$deb" ] || { fail "no package $name"; return; }
    root=$work/root-$name
    "$dpkg_deb" -x "$deb" "$root"
    packaged=$root/usr/bin/$name
    for args in "$@"; do
        # shellcheck disable=SC2086 # the words of args are the arguments
        answer "$built" $args >"$work/built"
        # shellcheck disable=SC2086
        answer "$packaged" $args >"$work/packaged"
        diff -u "$work/built" "$work/packaged" || fail "the packaged $name answers otherwise: $args"
    done
    [ "$("$packaged" --version)" = "$name $version" ] || fail "$name: not version $version"

    field() { "$dpkg_deb" -f "$deb" "$1"; }
    [ "$(field Package)" = "$name" ] || fail "Package: $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "$name: Version: $(field Version)"
    field Depends | grep -q '^libc6 (>= [0-9.]*)' || fail "$name: Depends: $(field Depends)"
    [ "$(field Description | wc -l)" -ge 3 ] || fail "$name: Description: $(field Description)"
    gzip -dc "$root/usr/share/man/man1/$name.1.gz" | grep -qx ".Os vossel $version" ||
        fail "$name: the page's footer does not give version $version"

    # The same files, the same modes, from both.
    "$cmake" --install "$build" --component "$name" --prefix "$work/installed-$name" \
        >"$work/log" || { cat "$work/log"; exit 1; }
    (cd "$root/usr" && find . -type f -exec stat -c '%a %n' {} + | sort) >"$work/package.list"
    (cd "$work/installed-$name" && find . -type f -exec stat -c '%a %n' {} + | sort) \
        >"$work/install.list"
    diff -u "$work/package.list" "$work/install.list" ||
        fail "cmake --install installs otherwise: $name"
}
check barcode-record "$barcode_record" "--version" "inspect $record" "inspect --json $record -" \
    "make --serial S" "make --serial S --isn I\\x0d -o -"
check vossel-check "$vossel_check" "--help" "$work/wired" "--json --hardware board $work/stock" \
    "--root $work/stock/root $work/wired"
exit $status
