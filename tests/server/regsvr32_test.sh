#!/bin/sh
# regsvr32_test.sh <wine-run> <server DLL (Windows path)> <log>
# "regsvr32 /u" removes the session class and "regsvr32" puts it back, as an installer runs them.
# Wine's output goes to the log, never to the caller's pipe.
run=$1 dll=$2 log=$3
class='HKCR\CLSID\{5A3C1E71-2B94-4F0D-8C21-6E7F90A1B2C3}'
fail() { echo "$1 (see $log)"; exit 1; }
: >"$log"
"$run" regsvr32 /u /s "$dll" >>"$log" 2>&1 </dev/null || fail "regsvr32 /u failed"
"$run" reg query "$class" >>"$log" 2>&1 </dev/null && fail "class key left after regsvr32 /u"
"$run" regsvr32 /s "$dll" >>"$log" 2>&1 </dev/null || fail "regsvr32 failed"
"$run" reg query "$class\\InprocServer32" >>"$log" 2>&1 </dev/null ||
    fail "class key missing after regsvr32"
exit 0
