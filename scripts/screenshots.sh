#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots from a real run of the program
# under Xvfb: the splash, the progress dialog during the start-up backup (in
# folders whose paths are too long for its labels), the main window on a set
# tab, "コピー条件", "起動イベント" and "履歴", and the About window.
#   scripts/screenshots.sh BUILD_DIR
set -euo pipefail

build="$(cd "${1:?usage: scripts/screenshots.sh BUILD_DIR}" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/docs/screenshots"
mkdir -p "$out"

if [ -z "${TARVENIX_IN_XVFB:-}" ]; then
    exec env TARVENIX_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-shots-XXXXXX")"
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/program" "$work/dst"
cp "$build/app/tarvenix" "$work/program/"
cp "$build/app/Tarvenix7.chm" "$work/program/" 2>/dev/null || true
# Enough data for the progress dialog to be seen at work, deep in folders
# with long names.
src="$work/ドキュメント"
for d in $(seq 1 60); do
    folder="$src/プロジェクト$d/2024年度の報告書と議事録の保管用フォルダ/第一四半期から第四四半期までの資料"
    mkdir -p "$folder"
    for f in $(seq 1 60); do
        head -c 200000 /dev/zero > "$folder/報告書$f.doc"
    done
done

python3 - "$work/program/system.dat" "$src" "$work/dst" <<'PY'
import sys
path, src, dst = sys.argv[1:4]
values = ["1", "1", "0", "1", "0", "1", "False", "True", "False",
          "07", "12", "", "30", "45", ""]
values += [src] + [""] * 7 + [dst] + [""] * 7 + ["1"] * 8 + ["0"] * 8
with open(path, "wb") as f:
    for v in values:
        field = (v + " " * 80)[:80].encode("cp932")
        f.write(field.ljust(160, b" "))
PY

cd "$work/program"
unset QT_QPA_PLATFORMTHEME
./tarvenix > "$work/out.log" 2>&1 &
pid=$!

grab() {  # grab WINDOW_ID NAME
    sleep 0.4
    import -window "$1" "$out/$2.png"
    echo "wrote docs/screenshots/$2.png"
}

splash_id="$(xdotool search --sync --onlyvisible --name '^ $' | head -n 1)"
grab "$splash_id" splash
progress_id="$(xdotool search --sync --onlyvisible --name 'バックアップ中' | head -n 1)"
sleep 0.3
grab "$progress_id" progress
for _ in $(seq 1 600); do
    grep -q '\[Success\]' "$work/program/history.txt" 2>/dev/null && break
    sleep 0.1
done

main_id="$(xdotool search --sync --onlyvisible --name '^Tarvenix' | head -n 1)"
grab "$main_id" main-set-tab
# Without a window manager there is no keyboard focus to give: the tabs are
# clicked where the three-row tab bar puts them.
tab() {  # tab X Y
    xdotool mousemove --window "$main_id" "$1" "$2" click 1
}
tab 58 89
grab "$main_id" main-copy-rules
tab 146 89
grab "$main_id" main-start-events
tab 238 89
grab "$main_id" main-history

# A double-click on the window's background opens About.
xdotool mousemove --window "$main_id" 260 330 click --repeat 2 --delay 80 1
about_id="$(xdotool search --sync --onlyvisible --name 'ﾊﾞｰｼﾞｮﾝ情報' | head -n 1)"
grab "$about_id" about

kill -TERM "$pid"
wait "$pid" || true
pid=""
