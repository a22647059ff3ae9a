#!/usr/bin/env bash
# Sets up a Debian machine, builds everything and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset mingw
# Whatever happens, no Wine process of this build outlives the run.
trap 'build/wine-prefix stop >/dev/null 2>&1 || true' EXIT
cmake --build --preset mingw
# ctest lists each test program's cases under Wine as it starts: the prefix must be up by then.
build/wine-prefix start
ctest --preset mingw "$@"
