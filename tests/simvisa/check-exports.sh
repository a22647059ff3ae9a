#!/bin/sh
# Checks the entry points of the library and its two loader-test variants: every VISA function
# a VISA COM server resolves (91 required, 8 optional) under its plain name, except the ones
# each variant leaves out on purpose.
set -eu
bin=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
names() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] \(vi[A-Za-z0-9]*\)$/\1/p' | sort; }
fail=0
check() { # dll expected-count missing-names...
    dll=$1; want=$2; shift 2
    got=$(names "$dll")
    n=$(printf '%s\n' "$got" | grep -c .)
    if [ "$n" -ne "$want" ]; then echo "FAIL $dll exports $n VISA functions, expected $want"; fail=1; fi
    for m in "$@"; do
        if printf '%s\n' "$got" | grep -qx "$m"; then echo "FAIL $dll exports $m"; fail=1; fi
    done
    for p in viOpenDefaultRM viOpen viRead viWrite viVQueryf viPeek64 viGpibControlREN viParseRsrc; do
        printf '%s\n' "$got" | grep -qx "$p" || { echo "FAIL $dll lacks $p"; fail=1; }
    done
}
check "$bin/visa32.dll" 99
check "$bin/variants/no_required/visa32.dll" 98 viVxiCommandQuery
check "$bin/variants/no_optional/visa32.dll" 97 viUsbControlIn viParseRsrcEx
[ "$fail" -eq 0 ] && echo "exports of the library and its variants as expected"
exit $fail
