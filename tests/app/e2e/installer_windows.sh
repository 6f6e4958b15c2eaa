#!/usr/bin/env bash
# The Windows installer (NSIS) under wine: packs the built program, installs
# it silently for the user, checks the files, the Start-menu entry and the
# start with Windows, then uninstalls and checks that the settings and the
# history stay while everything else goes.
#   installer_windows.sh BUILD_FOLDER PATH_TO_WINE_RUN
set -euo pipefail
build="${1:?usage: installer_windows.sh BUILD_FOLDER WINE_RUN}"
wine_run="${2:?usage: installer_windows.sh BUILD_FOLDER WINE_RUN}"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"
e2e_begin wine-prefix/drive_c/users/"$(id -un)"/AppData/Local/Programs/Tarvenix
export WINEPREFIX="$work/wine-prefix"
shortcut="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tarvenix.lnk"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
listing() { LC_ALL=C ls -A "$program" | tr '\n' ' '; }

"$here/../../../scripts/package_windows.sh" "$build" "$work/dist" > /dev/null
"$wine_run" "$work/dist/Tarvenix-7.00-setup.exe" /S || fail "the installer failed"
[ "$(listing)" = 'Tarvenix7.chm tarvenix.exe uninstall.exe ' ] || fail "the program folder holds $(listing)"
cmp "$program/tarvenix.exe" "$work/dist/Tarvenix/tarvenix.exe" || fail "tarvenix.exe differs"
[ -f "$shortcut" ] || fail "no Start-menu entry"
"$wine_run" reg query "$run_key" /v Tarvenix | grep -qi 'Programs\\Tarvenix\\tarvenix.exe' ||
    fail "no start with Windows"

# The program's own files, as a run leaves them.
printf 'settings' > "$program/system.dat"
printf 'history\r\n' > "$history"
"$wine_run" "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Tarvenix\\uninstall.exe" /S ||
    fail "the uninstaller failed"
# The uninstaller copies itself away and works from there: waited for.
for _ in $(seq 1 100); do
    [ "$(listing)" != 'history.txt system.dat ' ] || break
    sleep 0.2
done
[ "$(listing)" = 'history.txt system.dat ' ] || fail "after uninstalling the program folder holds $(listing)"
[ "$(cat "$program/system.dat")" = settings ] || fail "system.dat did not stay"
[ "$(cat "$history")" = $'history\r' ] || fail "history.txt did not stay"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
! "$wine_run" reg query "$run_key" /v Tarvenix > /dev/null 2>&1 || fail "the start with Windows is still there"
echo "installer_windows: 1 passed, 0 failed"
