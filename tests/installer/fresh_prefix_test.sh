#!/bin/sh
# fresh_prefix_test.sh <prefix folder> <log> <program> [args...]
# Runs a Windows test program in a new Wine prefix of its own (made again on every run, never the
# build's shared prefix), with a persistent wineserver for the run; Wine's output goes to <log>
# and is shown after the run, never through a pipe.
set -u
prefix=$1 log=$2
shift 2
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
stop() {
    wineserver -k </dev/null >/dev/null 2>&1
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1
}
stop
rm -rf "$prefix"
mkdir -p "$prefix"
: >"$log"
trap stop EXIT
wineserver -p </dev/null >>"$log" 2>&1
wineboot -i </dev/null >>"$log" 2>&1
# Start the new prefix once more, as a machine restarts after setup: services started while the
# first boot still sets the prefix up may time out.
wineserver -k </dev/null >>"$log" 2>&1
wineserver -w </dev/null >>"$log" 2>&1
wineserver -p </dev/null >>"$log" 2>&1
wineboot </dev/null >>"$log" 2>&1
wine "$@" </dev/null >>"$log" 2>&1
rc=$?
cat "$log"
exit $rc
