#!/usr/bin/env bash
# Runs soak.exe for SECONDS (default 30) against the registered server in the build's Wine
# prefix: builds what it needs, starts the prefix and the kernel-object server when they are not
# running yet, registers GlobMgr.dll and MrvRS232.dll, and passes every further argument to
# soak.exe (for example --faults, --threads 8). Prints as it goes; the exit code is soak.exe's.
# The prefix stays up afterwards (build/wine-prefix stop ends it). BUILD_DIR selects an already
# configured build directory (default: build, configured with the mingw preset when needed).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=30
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
    seconds="$1"
    shift
fi
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset mingw >/dev/null
fi
cmake --build "$build" --target soak globmgr nkoserver
windows_path() { echo "Z:$(cd "$(dirname "$1")" && pwd | tr / '\\')\\$(basename "$1")"; }
"$build/wine-prefix" start
if ! "$build/wine-run" "$build/bin/nkoserver.exe" --wait-ready 200 </dev/null >/dev/null 2>&1; then
    "$build/nko-server" start
fi
"$build/wine-run" regsvr32 /s "$(windows_path "$build/bin/GlobMgr.dll")"
"$build/wine-run" regsvr32 /s "$(windows_path "$build/bin/MrvRS232.dll")"
exec "$build/wine-run" "$build/bin/soak.exe" --seconds "$seconds" "$@" </dev/null
