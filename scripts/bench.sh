#!/usr/bin/env bash
# Builds the server, its copy with tracing compiled out and the benchmark, registers the server
# in the build's Wine prefix and runs bench.exe, which prints the same work measured through the
# server and directly on the VISA library side by side, the server against its untraced copy,
# and the thin calls while iomonitor.exe reads every record; then event_bench.exe: the cost of
# waiting for events, and hand-over latencies next to polling waits. BUILD_DIR selects an already
# configured build directory (default: build, configured with the mingw preset when needed).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset mingw >/dev/null
fi
cmake --build "$build" --target bench event_bench MrvRS232_untraced
windows_path() { echo "Z:$(cd "$(dirname "$1")" && pwd | tr / '\\')\\$(basename "$1")"; }
stop() {
    if [ -x "$build/nko-server" ]; then "$build/nko-server" stop >/dev/null 2>&1 || true; fi
    "$build/wine-prefix" stop >/dev/null 2>&1 || true
}
trap stop EXIT
"$build/wine-prefix" start
if [ -x "$build/nko-server" ]; then "$build/nko-server" start; fi
"$build/wine-run" regsvr32 /s "$(windows_path "$build/bin/GlobMgr.dll")"
"$build/wine-run" regsvr32 /s "$(windows_path "$build/bin/MrvRS232.dll")"
"$build/wine-run" "$build/bin/bench.exe" > "$build/bench.out" 2>&1 || status=$?
cat "$build/bench.out"
"$build/wine-run" "$build/bin/event_bench.exe" > "$build/event_bench.out" 2>&1 || status=$?
cat "$build/event_bench.out"
exit "${status:-0}"
