#!/usr/bin/env bash
# Builds the Windows Installer package build/MrvRS232.msi (the server, the VISA COM type library,
# the tools, the client kit, the docs, and the simulated instruments as an optional feature) on a
# fresh Debian machine. Copy it to a Windows machine and install it there (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset mingw >/dev/null
# The type-library rows of the package are read from the built DLLs under Wine.
trap 'build/wine-prefix stop >/dev/null 2>&1 || true' EXIT
cmake --build --preset mingw --target msi_package
echo "package: $(pwd)/build/MrvRS232.msi"
