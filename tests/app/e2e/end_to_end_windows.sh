#!/usr/bin/env bash
# The built tarvenix.exe under wine, on wine's virtual desktop (which has a
# notification area), with the Japanese code page: a system.dat written in
# code page 932 with the backup at start and at close on, over folders with
# Japanese names. Waits for the start-up backup, starts a manual backup from
# the tray icon's menu as a user would (a left click on the icon in the
# taskbar's corner, a click on "ﾊﾞｯｸｱｯﾌﾟ実行"), ends the wine session (the
# program gets WM_QUERYENDSESSION / WM_ENDSESSION and runs its shut-down
# sequence, with the backup at close), and checks the copied tree, the
# history lines and that system.dat is unchanged.
#   end_to_end_windows.sh PATH_TO_TARVENIX_EXE PATH_TO_WINE_RUN
# Needs an X display (run it under xvfb-run).
set -euo pipefail

exe="${1:?usage: end_to_end_windows.sh TARVENIX_EXE WINE_RUN}"
wine_run="${2:?usage: end_to_end_windows.sh TARVENIX_EXE WINE_RUN}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-e2e-win-XXXXXX")"
# A prefix of its own: the virtual desktop and its tray belong to this test.
export WINEPREFIX="$work/wine-prefix"
desktop_pid=""
cleanup() {
    # Ends this prefix's wine processes (the program, the desktop, wine's
    # services) and nothing else.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -n "$desktop_pid" ]; then
        wait "$desktop_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

history="$work/program/history.txt"
# Waits up to TENTHS tenths of a second for a history line matching PATTERN.
wait_for() {
    for _ in $(seq 1 "$2"); do
        grep -q -- "$1" "$history" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

fail() {
    echo "end_to_end_windows: $*" >&2
    echo "--- history.txt (as UTF-8):" >&2
    iconv -f CP932 -t UTF-8 "$history" >&2 2>/dev/null || true
    exit 1
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }

src="$work/ソース"
dst="$work/バックアップ"
mkdir -p "$work/program" "$src/データ/2024年" "$dst"
cp "$exe" "$work/program/tarvenix.exe"
printf '一行目\r\n' | iconv -f UTF-8 -t CP932 > "$src/メモ.txt"
printf 'second\n' > "$src/データ/報告書.txt"
head -c 300000 /dev/urandom > "$src/データ/2024年/写真.bin"

. "$(dirname "$0")/system_dat.sh"
write_system_dat "$work/program/system.dat" 0 1 1 "$(winpath "$src")" "$(winpath "$dst")" ||
    fail "system.dat is not 7520 bytes"
cp "$work/program/system.dat" "$work/system.dat.before"

# The first run creates the prefix (Japanese fonts, code page 932).
"$wine_run" cmd /c exit 0 || fail "the wine prefix could not be made"

"$wine_run" explorer /desktop=shell,800x600 "$(winpath "$work/program/tarvenix.exe")" \
    > "$work/desktop.log" 2>&1 &
desktop_pid=$!

# The splash stands for two seconds, then the backup at start runs.
wait_for '\[Success\] \[Prg open\]' 600 || fail "no successful start-up backup within 60 seconds"

diff -r "$src" "$dst" || fail "the copied tree differs"

# The tray icon sits in the bottom right corner of the 800 x 600 desktop; its
# menu opens upwards from it.
# On a busy machine the menu may come up late and miss the second click: the
# clicks are made again while no manual run has started.
for _ in 1 2 3; do
    xdotool mousemove 790 590 click 1
    sleep 2
    xdotool mousemove 765 439 click 1
    wait_for '\[Start\] \[Manual\]' 100 && break
    xdotool key Escape
done
wait_for '\[Success\] \[Manual\]' 300 || true

# The session ends: the program gets WM_QUERYENDSESSION and WM_ENDSESSION
# and runs its shut-down sequence, with the backup at close, before it goes.
# wineboot reaches the windows of its own desktop, so it runs on the
# program's.
"$wine_run" explorer /desktop=shell,800x600 wineboot --end-session || true
wait_for '\[Success\] \[Prg close\]' 300 || true

expected='[Start] [Prg open]
[Success] [Prg open]
[Start] [Manual]
[Success] [Manual]
[Start] [Prg close]
[Success] [Prg close]'
# Drop the date and time, and the CR of the CR LF line ends.
actual="$(cut -d' ' -f3- "$history" | tr -d '\r')"
[ "$actual" = "$expected" ] || fail "history lines differ: $actual"
grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2} \[Start\]' \
    "$history" || fail "history time stamps are not yyyy/MM/dd H:mm:ss"
[ "$(tail -c 2 "$history" | od -An -tx1 | tr -d ' ')" = "0d0a" ] ||
    fail "history.txt does not end with CR LF"
cmp "$work/system.dat.before" "$work/program/system.dat" || fail "system.dat was changed"
echo "end_to_end_windows: 1 passed, 0 failed"
