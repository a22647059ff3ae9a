#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine. Safe to run again.
set -euo pipefail
packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix mingw-w64-tools   # cross compiler, widl
    libwine-dev                                  # the IDL files widl imports
    wine wine64                                  # the Windows platform for running and testing
    googletest nlohmann-json3-dev
    wixl                                         # builds the Windows Installer package
    clang-format                                 # the format check of CI
    socat python3-serial                         # a serial line and its instrument for real-port tests
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
