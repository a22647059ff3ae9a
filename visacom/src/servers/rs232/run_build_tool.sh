#!/bin/sh
# run_build_tool.sh <wine-run> <prefix> <log> <program> [args...]
# Runs a Windows build tool in the build's Wine prefix. Wine's output goes to <log>: its
# background processes would otherwise hold the build tool's pipe open. Afterwards it waits
# (briefly) for the prefix's wineserver to go away, so that the test fixture can start its own
# persistent one right after the build.
wine_run=$1 prefix=$2 log=$3
shift 3
"$wine_run" "$@" >"$log" 2>&1 </dev/null
rc=$?
WINEPREFIX="$prefix" timeout 20 wineserver -w </dev/null >/dev/null 2>&1
if [ $rc -ne 0 ]; then
    cat "$log"
    exit $rc
fi
