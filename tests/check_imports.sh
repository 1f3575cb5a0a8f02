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
        *) echo "imports $symbol"; status=1 ;;
    esac
done
exit $status
