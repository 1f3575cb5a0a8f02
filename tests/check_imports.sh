#!/bin/sh
# Fails when the program needs more of the device than the platform libraries and the C library:
# a C++ runtime, libgcc_s, or any symbol that the device would have to provide from elsewhere.
# usage: check_imports.sh PROGRAM
set -eu
program=$1
status=0

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
for library in liblog.so libcutils.so libnvram.so libfile_op.so; do
    echo "$needed" | grep -qx "$library" || { echo "does not link $library"; status=1; }
done
for library in $needed; do
    case $library in
        liblog.so | libcutils.so | libnvram.so | libfile_op.so | libc.so | libc.so.*) ;;
        # glibc on ARM keeps the stack protector's guard value in its dynamic loader.
        ld-linux.so.* | ld-linux-*.so.*) ;;
        *) echo "needs $library"; status=1 ;;
    esac
done

# Strong undefined symbols only: the start-up code's weak references resolve to nothing.
imports=$(readelf --dyn-syms -W "$program" | awk '$5 == "GLOBAL" && $7 == "UND" { print $8 }' |
    sed 's/@.*//')
for symbol in $imports; do
    case $symbol in
        __android_log_buf_print | property_get | property_set | NVM_GetFileDesc | \
            NVM_CloseFileDesc | read | usleep | strcmp | isalnum | memset) ;;
        __libc_start_main | __libc_init | __stack_chk_fail) ;;
        # On ARM the stack protector reads its guard from a variable, and glibc's start-up code
        # there can abort.
        __stack_chk_guard | abort) ;;
        *) echo "imports $symbol"; status=1 ;;
    esac
done
exit $status
