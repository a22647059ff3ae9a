#!/usr/bin/env bash
# The main job on a fresh Debian machine: set up, build, prepare the Wine prefix (register the
# COM servers), then talk to the simulated instruments shipped with the simulation VISA library
# through the console client asrlcon.exe.
#
#   scripts/run.sh                      identify the multimeter on ASRL1, set its line, measure
#   scripts/run.sh ARGS...              run asrlcon.exe with ARGS instead (see asrlcon --help)
#   scripts/run.sh ASRL5::INSTR ...     the same on the machine's serial port COM5 (under Wine the
#                                       prefix's dosdevices/com5 link names the Linux device)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
stop() {
    build/nko-server stop >/dev/null 2>&1 || true
    build/wine-prefix stop >/dev/null 2>&1 || true
}
trap stop EXIT
build/wine-prefix start
# The kernel-object server makes the global named objects of every process that uses the
# session server; without it each such process first waits for it in vain.
build/nko-server start
bin_win='Z:'"$(pwd | tr / '\\')"'\build\bin'
build/wine-run regsvr32 /s "$bin_win\\GlobMgr.dll"
build/wine-run regsvr32 /s "$bin_win\\MrvRS232.dll"

if [ $# -eq 0 ]; then
    echo "== asrlcon.exe: the simulated SCPI multimeter on ASRL1::INSTR =="
    set -- ASRL1::INSTR \
        -c "set baud 9600" -c "set parity none" -c "set databits 8" -c "set stopbits 1" \
        -c "set endout termchar" \
        -c "query *IDN?" \
        -c "query MEAS:VOLT:DC?" \
        -c "show"
fi
status=0
build/wine-run build/bin/asrlcon.exe "$@" > build/asrlcon.out 2>&1 || status=$?
cat build/asrlcon.out
echo "== asrlcon.exe exit code: $status =="
exit "$status"
