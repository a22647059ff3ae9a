#!/bin/sh
# Fails when a built Windows binary imports a MinGW runtime DLL: every binary must carry the
# compiler runtime itself, since the machines it runs on have none.
set -eu
dir=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
found=0
bad=0
for f in "$dir"/*.dll "$dir"/*.exe; do
    [ -e "$f" ] || continue
    found=$((found + 1))
    imports=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
    if printf '%s\n' "$imports" | grep -iqE '^(libstdc\+\+|libgcc|libwinpthread)'; then
        echo "FAIL $(basename "$f") imports: $(printf '%s ' $imports)"
        bad=$((bad + 1))
    fi
done
if [ "$found" -eq 0 ]; then
    echo "FAIL no Windows binaries in $dir"; exit 1
fi
echo "$found binaries checked, $bad import a MinGW runtime DLL"
[ "$bad" -eq 0 ]
