#!/usr/bin/env bash
# The built tarvenix.exe under wine (code page 932, a prefix of its own) on
# wine's virtual desktop, which has a notification area. Backups at start and
# at close over folders with Japanese names; a manual one started by clicks on
# the tray icon and on "ﾊﾞｯｸｱｯﾌﾟ実行"; then the session ends (the shut-down
# sequence). Checks the copy, the history and that system.dat is unchanged;
# on the way, a range check's box in the window opened from the tray.
#   end_to_end_windows.sh TARVENIX_EXE WINE_RUN WINDOW_PROBE  (under xvfb-run)
set -euo pipefail
: "${3:?usage: end_to_end_windows.sh TARVENIX_EXE WINE_RUN WINDOW_PROBE}"
exe="$1" wine_run="$2" window_probe="$3"
. "$(dirname "$0")/common.sh"
e2e_begin program
export WINEPREFIX="$work/wine-prefix"

src="$work/ソース"
dst="$work/バックアップ"
mkdir -p "$program" "$src/データ/2024年" "$dst"
cp "$exe" "$program/tarvenix.exe"
printf '一行目\r\n' | iconv -f UTF-8 -t CP932 > "$src/メモ.txt"
printf 'second\n' > "$src/データ/報告書.txt"
head -c 300000 /dev/urandom > "$src/データ/2024年/写真.bin"
write_system_dat 0 1 1 "$(winpath "$src")" "$(winpath "$dst")"
cp "$program/system.dat" "$work/system.dat.before"

# press ID: clicks the button ID of the program's message box.
press() {
    local at="$(probe button "$1")"
    [[ "$at" =~ ^[0-9]+\ [0-9]+$ ]] || fail "no button $1 in a box: $at"
    xdotool mousemove $at click 1
}

# tray_menu Y: clicks the tray icon in the bottom right corner of the 800 x 600
# desktop and, once its menu is up (it opens upwards), the item at height Y.
tray_menu() {
    xdotool mousemove 790 590 click 1
    [ "$(probe menu)" = shown ] || fail "no menu from the tray icon"
    xdotool mousemove 765 "$1" click 1
}

# The first run makes the prefix (Japanese fonts, code page 932).
"$wine_run" cmd /c exit 0 || fail "the wine prefix could not be made"
start_on_desktop "$(winpath "$program/tarvenix.exe")"

# The splash stands for two seconds, then the backup at start runs.
wait_for '\[Success\] \[Prg open\]' 600 || fail "no successful start-up backup within 60 seconds"
diff -r "$src" "$dst" || fail "the copied tree differs"

# "設定" from the tray (the window made foreground while still hidden); on
# 起動イベント an hour of 99 left with Tab brings its box, and once that is
# answered the tab and the focus stay where the box said. The window sits in
# the middle of the desktop: 起動イベント at 399,148, the second hour box at
# 310,308, 閉じる at 376,462. The boxes are answered with a click on their
# button, and the keys after a box go to the box clicked first, as a user's
# would: the X server's keyboard focus stays where the box was.
tray_menu 525  # 設定
[ "$(probe state)" != "<no window>" ] || fail "設定 did not show the window"
# Each click waits until the keys typed before it have reached the box.
in_hour() { printf 'tab=9 focus=hour_txt(1) shown=1 text=%s' "$1"; }
xdotool mousemove 399 148 click 1 mousemove 310 308 click 1 type 99
[ "$(probe state text=99)" = "$(in_hour 99)" ] || fail "99 did not reach the hour box"
xdotool key Tab
[ "$(probe box)" = 入力された時間が範囲外です！ ] || fail "no range check's box for the hour 99"
press 1  # OK
state="$(probe state)"
[ "$state" = "$(in_hour 99)" ] || fail "after the box the window shows $state"
# The hour taken out again, 閉じる not saving: system.dat stays as it was.
# No window manager gives wine's desktop the X keyboard back after the box.
xdotool mousemove 310 308 click 1 search --name '^shell - Wine desktop$' windowfocus --sync key End BackSpace BackSpace
[ "$(probe state text=)" = "$(in_hour '')" ] || fail "the hour box was not emptied: $(probe state)"
xdotool mousemove 376 462 click 1
[ "$(probe box)" = $'システムデータが変更されています\r\n更新しますか？' ] || fail "no question on 閉じる"
press 7  # いいえ

tray_menu 439  # ﾊﾞｯｸｱｯﾌﾟ実行
wait_for '\[Success\] \[Manual\]' 300 || true

# wineboot reaches the windows of its own desktop, so it runs on the program's.
on_desktop wineboot --end-session || true
wait_for '\[Success\] \[Prg close\]' 300 || true
expect_history '[Start] [Prg open]' '[Success] [Prg open]' '[Start] [Manual]' '[Success] [Manual]' \
    '[Start] [Prg close]' '[Success] [Prg close]'
cmp "$work/system.dat.before" "$program/system.dat" || fail "system.dat was changed"
echo "end_to_end_windows: 1 passed, 0 failed"
