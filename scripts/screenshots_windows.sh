#!/usr/bin/env bash
# Takes the screenshots of the Windows program (the settings window, the
# progress dialog during a run, About) from a real run of the cross-built
# tarvenix.exe under wine, with the Japanese code page and fonts, on an
# 800 x 600 virtual desktop on a private Xvfb server:
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
mkdir -p "$work/program" "$dst" "$src/2024年"
cp "$build/app/tarvenix.exe" "$build/app/Tarvenix7.chm" "$work/program/"
# Enough files for the progress dialog to stand on the screen for a while.
for i in $(seq 1 3000); do printf 'memo %d\n' "$i" > "$src/2024年/メモ$i.txt"; done
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
sleep 12

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
