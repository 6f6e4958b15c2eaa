#!/usr/bin/env bash
# Packs the cross-built Windows program (make build-windows) for handing out:
#   scripts/package_windows.sh BUILD_FOLDER [OUTPUT_FOLDER]
# writes into OUTPUT_FOLDER (default BUILD_FOLDER/dist)
# - Tarvenix-7.00-windows.zip: a portable folder (tarvenix.exe, statically
#   linked, and Tarvenix7.chm; the program keeps its settings beside itself);
# - Tarvenix-7.00-setup.exe: the per-user installer (packaging/windows).
set -euo pipefail

build="$(cd "${1:?usage: package_windows.sh BUILD_FOLDER}" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
app="$build/app"
dist="${2:-$build/dist}"

for f in tarvenix.exe Tarvenix7.chm; do
    [ -f "$app/$f" ] || { echo "package_windows: $app/$f is missing" >&2; exit 1; }
done
if x86_64-w64-mingw32-objdump -p "$app/tarvenix.exe" | grep -qi 'DLL Name: lib'; then
    echo "package_windows: tarvenix.exe needs MinGW DLLs; it must be linked statically" >&2
    exit 1
fi

rm -rf "$dist/Tarvenix" "$dist"/Tarvenix-7.00-*
mkdir -p "$dist/Tarvenix"
# Without the debugging information of the build: the program is handed out,
# not debugged.
x86_64-w64-mingw32-strip -o "$dist/Tarvenix/tarvenix.exe" "$app/tarvenix.exe"
cp "$app/Tarvenix7.chm" "$dist/Tarvenix/"
(cd "$dist" && cmake -E tar cf Tarvenix-7.00-windows.zip --format=zip Tarvenix)

makensis -V2 -INPUTCHARSET UTF8 \
    -DAPPDIR="$dist/Tarvenix" \
    -DICON="$here/src/app/win32/resources/tarvenix.ico" \
    -DOUTFILE="$dist/Tarvenix-7.00-setup.exe" \
    "$here/packaging/windows/tarvenix.nsi"
echo "package_windows: $dist/Tarvenix-7.00-windows.zip"
echo "package_windows: $dist/Tarvenix-7.00-setup.exe"
