#!/usr/bin/env bash
# The main job on a fresh Debian machine: set up, build, prepare the Wine prefix (register the
# COM servers), then talk to the simulated instruments shipped with the simulation VISA library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
trap 'build/wine-prefix stop >/dev/null 2>&1 || true' EXIT
build/wine-prefix start
build/wine-run regsvr32 /s 'Z:'"$(pwd | tr / '\\')"'\build\bin\GlobMgr.dll'
build/wine-run build/bin/visa-probe.exe "$@" > build/visa-probe.out 2>&1 || status=$?
cat build/visa-probe.out
exit "${status:-0}"
