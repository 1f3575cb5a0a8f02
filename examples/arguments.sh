# shellcheck shell=sh
# Sourced by the scripts that run the program against a simulated device: telling a mistake,
# and the checks of their PROGRAM and DEVICE_DIR arguments. Needs $usage set.

# A mistake: what is wrong, then the usage; status 2.
# shellcheck disable=SC2154 # usage is the sourcing script's
fail() {
    echo "$0: $1" >&2
    echo "$usage (--help for more)" >&2
    exit 2
}

# check_program_and_device PROGRAM DEVICE_DIR: an executable file, and a folder that holds
# properties/ and nvram/.
check_program_and_device() {
    [ -e "$1" ] || fail "$1: no such program"
    { [ -f "$1" ] && [ -x "$1" ]; } || fail "$1: not an executable program"
    [ -e "$2" ] || fail "$2: no such folder"
    [ -d "$2" ] || fail "$2: not a folder"
    { [ -d "$2/properties" ] && [ -d "$2/nvram" ]; } ||
        fail "$2: not a simulated device (it holds properties/ and nvram/)"
}
