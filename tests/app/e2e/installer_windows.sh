#!/usr/bin/env bash
# The Windows installer (NSIS) under wine: packs the built program, installs
# it silently for the user, checks the files, the Start-menu entry and the
# start with Windows, then uninstalls and checks that the settings and the
# history stay while everything else goes.
#   installer_windows.sh BUILD_FOLDER PATH_TO_WINE_RUN
set -euo pipefail

build="${1:?usage: installer_windows.sh BUILD_FOLDER WINE_RUN}"
wine_run="${2:?usage: installer_windows.sh BUILD_FOLDER WINE_RUN}"
here="$(cd "$(dirname "$0")/../../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-installer-XXXXXX")"
export WINEPREFIX="$work/wine-prefix"
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "installer_windows: $*" >&2
    exit 1
}

"$here/scripts/package_windows.sh" "$build" "$work/dist" >/dev/null
"$wine_run" "$work/dist/Tarvenix-7.00-setup.exe" /S || fail "the installer failed"

user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
program="$user_dir/AppData/Local/Programs/Tarvenix"
shortcut="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tarvenix.lnk"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
for f in tarvenix.exe Tarvenix7.chm uninstall.exe; do
    [ -f "$program/$f" ] || fail "$f is not in the program folder"
done
cmp "$program/tarvenix.exe" "$work/dist/Tarvenix/tarvenix.exe" || fail "tarvenix.exe differs"
[ -f "$shortcut" ] || fail "no Start-menu entry"
"$wine_run" reg query "$run_key" /v Tarvenix | grep -qi 'Programs\\Tarvenix\\tarvenix.exe' ||
    fail "no start with Windows"

# The program's own files, as a run would leave them.
printf 'settings' > "$program/system.dat"
printf 'history\r\n' > "$program/history.txt"
"$wine_run" "$(printf 'C:\\users\\%s\\AppData\\Local\\Programs\\Tarvenix\\uninstall.exe' "$(id -un)")" /S ||
    fail "the uninstaller failed"
# The uninstaller copies itself away and works from there: wait for it.
for _ in $(seq 1 100); do
    [ ! -e "$program/tarvenix.exe" ] && [ ! -e "$program/uninstall.exe" ] && break
    sleep 0.2
done
for f in tarvenix.exe Tarvenix7.chm uninstall.exe; do
    [ ! -e "$program/$f" ] || fail "$f is still there after uninstalling"
done
[ "$(cat "$program/system.dat")" = settings ] || fail "system.dat did not stay"
[ "$(cat "$program/history.txt")" = $'history\r' ] || fail "history.txt did not stay"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
if "$wine_run" reg query "$run_key" /v Tarvenix >/dev/null 2>&1; then
    fail "the start with Windows is still there"
fi
echo "installer_windows: 1 passed, 0 failed"
