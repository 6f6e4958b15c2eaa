#!/usr/bin/env bash
# The Windows installer (NSIS) under wine, on wine's desktop as a user meets
# it: packs the built program; each page's foot line names the program; the
# folder page offers the user's own programs folder; the last page starts
# Tarvenix. Checks the files, the Start-menu entry and the start with Windows;
# then uninstalls while the program runs: it ends through its session-end path
# first (its close-time backup runs), and the settings and the history stay
# while everything else goes.
#   installer_windows.sh BUILD_FOLDER WINE_RUN WINDOW_PROBE  (under xvfb-run)
set -euo pipefail
: "${3:?usage: installer_windows.sh BUILD_FOLDER WINE_RUN WINDOW_PROBE}"
build="$1" wine_run="$2" window_probe="$3"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"
e2e_begin wine-prefix/drive_c/users/"$(id -un)"/AppData/Local/Programs/Tarvenix
export WINEPREFIX="$work/wine-prefix"
shortcut="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tarvenix.lnk"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
listing() { LC_ALL=C ls -A "$program" | tr '\n' ' '; }

"$here/../../../scripts/package_windows.sh" "$build" "$work/dist" > /dev/null
"$wine_run" cmd /c exit 0 || fail "the wine prefix could not be made"
start_on_desktop "$(winpath "$work/dist/Tarvenix-7.00-setup.exe")"
# Each key once the page it is meant for is up: the components' list, the folder.
[ "$(probe control 1032)" != "<no window>" ] || fail "no components page"
branding="$(probe control 1256)"  # the line at the foot of every page
[ "${branding% }" = "Tarvenix 7.00" ] || fail "the pages' foot line reads $branding"
xdotool key Return  # 次へ
[ "$(probe control 1019)" = "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Tarvenix" ] ||
    fail "the folder page offers $(probe control 1019)"
xdotool key Return  # インストール
last_page="$(probe checkbox)"
[ "$last_page" = "Tarvenix を起動する checked=1" ] || fail "the last page offers $last_page"
[ "$(listing)" = 'Tarvenix7.chm tarvenix.exe uninstall.exe ' ] || fail "the program folder holds $(listing)"
cmp "$program/tarvenix.exe" "$work/dist/Tarvenix/tarvenix.exe" || fail "tarvenix.exe differs"
[ -f "$shortcut" ] || fail "no Start-menu entry"
"$wine_run" reg query "$run_key" /v Tarvenix | grep -qi 'Programs\\Tarvenix\\tarvenix.exe' ||
    fail "no start with Windows"

# The settings a user made: a backup at start and at close.
mkdir -p "$work/src" "$work/dst"
printf 'x' > "$work/src/file.txt"
write_system_dat 0 1 1 "$(winpath "$work/src")" "$(winpath "$work/dst")"
xdotool key Return  # 完了, and Tarvenix starts
wait_for '\[Success\] \[Prg open\]' 600 || fail "the program did not start from the last page"
on_desktop "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Tarvenix\\uninstall.exe" /S ||
    fail "the uninstaller failed"
# The uninstaller copies itself away and works from there: waited for.
for _ in $(seq 1 300); do
    [ "$(listing)" != 'history.txt system.dat ' ] || break
    sleep 0.1
done
expect_history '[Start] [Prg open]' '[Success] [Prg open]' '[Start] [Prg close]' '[Success] [Prg close]'
[ "$(listing)" = 'history.txt system.dat ' ] || fail "after uninstalling the program folder holds $(listing)"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
! "$wine_run" reg query "$run_key" /v Tarvenix > /dev/null 2>&1 || fail "the start with Windows is still there"
echo "installer_windows: 1 passed, 0 failed"
