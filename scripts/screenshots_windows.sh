#!/usr/bin/env bash
# Takes the screenshots of the Windows program (the splash, the settings
# window, the progress dialog during a run in folders whose paths are too long
# for its labels, About, and the installer's components and last pages) from
# a real run of the cross-built tarvenix.exe and of its installer under wine,
# with the Japanese code page and fonts, on an 800 x 600 virtual desktop on a
# private Xvfb server:
#   scripts/screenshots_windows.sh BUILD_WINDOWS_FOLDER
# writes docs/screenshots/windows-*.png. The program is driven as a user
# would: the tray icon and the items of its menus are clicked (the menus open
# upwards from the icon in the bottom right corner of the 800 x 600 desktop).
set -euo pipefail

if [ -z "${TARVENIX_SCREENSHOTS_INNER:-}" ]; then
    export TARVENIX_SCREENSHOTS_INNER=1
    exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

build="$(cd "${1:?usage: screenshots_windows.sh BUILD_WINDOWS_FOLDER}" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/docs/screenshots"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-shots-win-XXXXXX")"
export WINEPREFIX="$work/wine-prefix"
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# A shot of what is on the desktop but the desktop itself: the taskbar is cut
# off and the desktop's colour trimmed away.
shot() {
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop 800x578+0+0 +repage -fuzz 2% -trim +repage "$out/$1"
    echo "screenshots_windows: $out/$1"
}
tray_menu() {  # button (1 left, 3 right), then the item's height on the screen
    xdotool mousemove 790 590 click "$1"
    sleep 1
    xdotool mousemove 765 "$2" click 1
    sleep 1.5
}

src="$work/写真とメモ"
dst="$work/バックアップ"
deep="$src/2024年/家族旅行の写真と動画の保管用フォルダ/北海道から沖縄までの旅の記録"
mkdir -p "$work/program" "$dst" "$deep"
cp "$build/app/tarvenix.exe" "$build/app/Tarvenix7.chm" "$work/program/"
# Enough files for the progress dialog to stand on the screen for a while.
for i in $(seq 1 3000); do printf 'memo %d\n' "$i" > "$deep/メモ$i.txt"; done
python3 - "$work/program/system.dat" "$(winpath "$src")" "$(winpath "$dst")" <<'PY'
import sys
path, source, target = sys.argv[1:4]
values = ["1", "0", "0", "1", "1", "1"]
values += ["False", "True", "False", "07", "12", "", "30", "00", ""]
values += [source] + [""] * 7 + [target] + [""] * 7
values += ["1"] * 8 + ["0"] * 8
open(path, "wb").write(b"".join(v.ljust(80).encode("cp932").ljust(160, b" ") for v in values))
PY

"$root/cmake/wine-run.sh" cmd /c exit 0
"$root/cmake/wine-run.sh" explorer /desktop=shell,800x600 "$(winpath "$work/program/tarvenix.exe")" \
    >/dev/null 2>&1 &
# The splash, grey in the middle of the desktop, for its two seconds.
for _ in $(seq 1 300); do
    import -window root "$work/screen.png"
    [ "$(convert "$work/screen.png" -format '%[pixel:p{400,290}]' info:)" != 'srgb(192,192,192)' ] ||
        break
    sleep 0.1
done
sleep 0.5
shot windows-splash.png
sleep 10

tray_menu 3 568      # ﾍﾙﾌﾟ menu: About
shot windows-about.png
xdotool mousemove 398 374 click 1   # its OK button
sleep 1

tray_menu 1 439      # ﾊﾞｯｸｱｯﾌﾟ実行
shot windows-progress.png
for _ in $(seq 1 600); do
    grep -q '\[Success\]' "$work/program/history.txt" 2>/dev/null && break
    sleep 0.5
done

tray_menu 1 525      # 設定
shot windows-settings.png
xdotool mousemove 376 462 click 1   # 閉じる
sleep 1

# The installer on the same desktop: its components page and its last page.
"$root/scripts/package_windows.sh" "$build" "$work/dist" >/dev/null
"$root/cmake/wine-run.sh" explorer /desktop=shell,800x600 "$(winpath "$work/dist/Tarvenix-7.00-setup.exe")" \
    >/dev/null 2>&1
sleep 5
xdotool mousemove 420 282   # over "Windows の起動時に開始する": its description
sleep 1
shot windows-installer-components.png
xdotool key Return   # 次へ: the folder
sleep 2
xdotool key Return   # インストール
sleep 8
shot windows-installer-finish.png
