#!/usr/bin/env bash
# The built program started for real from a folder named in Shift-JIS bytes
# (not UTF-8) and ended by SIGTERM as the desktop session ends it, on an X
# server whose windows tell the test when a box is up.
#   under_x11.sh end_to_end.sh PATH_TO_TARVENIX
set -euo pipefail
exe="${1:?usage: end_to_end.sh PATH_TO_TARVENIX}"
. "$(dirname "$0")/common.sh"
e2e_begin "$(printf '\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80')" # "プログラム" in Shift-JIS

start() {
    case_name="$1"
    rm -f "$history"
    "$program/tarvenix" > "$work/out.log" 2>&1 &
    pid=$!
    [ -z "${2:-}" ] || wait_for "$2" 300 || fail "no line matching $2 within 30 seconds"
}

mkdir -p "$program" "$work/src/docs/2024" "$work/dst"
cp "$exe" "$program/tarvenix"
printf 'first\n' > "$work/src/a.txt"
printf 'second\n' > "$work/src/docs/b.txt"
head -c 300000 /dev/urandom > "$work/src/docs/2024/c.bin"
printf 'hidden\n' > "$work/src/.hidden"
write_system_dat 0 1 1 "$work/src" "$work/dst"
unset QT_QPA_PLATFORMTHEME
# on_screen TITLE_REGEX: waits (30 s at most) for a window of that title to
# be shown on the X server the test runs on (under_x11.sh).
on_screen() { timeout 30 xdotool search --sync --onlyvisible --name "$1" > /dev/null; }

# idle: the start-up backup; SIGTERM then runs the shut-down sequence's backup.
start idle '\[Success\] \[Prg open\]'
diff -r --exclude=.hidden "$work/src" "$work/dst" || fail "copied tree differs"
[ ! -e "$work/dst/.hidden" ] || fail "a hidden file was copied"
terminate
expect_history '[Start] [Prg open]' '[Success] [Prg open]' '[Start] [Prg close]' '[Success] [Prg close]'

# run: SIGTERM while the box of a copy failure (a folder where the copy
# belongs) waits: no click is awaited, the messages go to the history.
rm -rf "$work/src" "$work/dst"
mkdir -p "$work/src" "$work/dst/locked.txt"
printf 'new\n' > "$work/src/locked.txt"
printf 'old\n' > "$work/dst/locked.txt/inside"
start run '\[Start\] \[Prg open\]'
on_screen '^Error$' || fail "no copy-failure box on screen"
# The box belongs to the progress dialog, which the window manager keeps behind it.
dialog=$(printf '0x%x' "$(xdotool search --onlyvisible --name 'バックアップ中' | head -n 1)")
xprop -id "$(xdotool search --onlyvisible --name '^Error$' | head -n 1)" WM_TRANSIENT_FOR |
    grep -q "# $dialog\$" || fail "the box does not belong to the progress dialog"
terminate
failed=('[Message] = Error: ファイルをコピーできません！' '[Message] = Error: バックアップが中止されました！ [?]')
expect_history '[Start] [Prg open]' "${failed[@]}" '[Cancel] [Prg open]' \
    '[Start] [Prg close]' "${failed[@]}" '[Cancel] [Prg close]'
[ "$(cat "$work/dst/locked.txt/inside")" = old ] || fail "the folder in the way was changed"

rm -r "$work/dst/locked.txt"
# paused: held up (SIGSTOP) from just before its start time until just after
# it, as a frozen desktop holds it, the program runs that start time when it
# goes on. A time zone some seconds off puts the start time 15 s ahead.
case_name=paused
now=$(date +%s)
export TZ="TVX-0:00:$(printf %02d $(( (45 - now % 60 + 60) % 60 )))"
due=$(( now + 15 ))  # the local clock reads hh:mm:00 then
hhmm=$(date -d "@$due" +%H:%M)
write_system_dat 0 1 0 "$work/src" "$work/dst" "${hhmm%:*}" "${hhmm#*:}"
start paused '\[Success\] \[Prg open\]'
until_ns() { while [ "$(date +%s%N)" -lt "$1" ]; do sleep 0.02; done; }
until_ns $(( due * 1000000000 - 500000000 ))
kill -STOP "$pid"
until_ns $(( due * 1000000000 + 1600000000 ))
kill -CONT "$pid"
wait_for '\[Success\] \[Timer\]' 100 || fail "the start time passed while paused did not run"
terminate
expect_history '[Start] [Prg open]' '[Success] [Prg open]' '[Start] [Timer]' '[Success] [Timer]'
unset TZ
echo "end_to_end: 3 passed, 0 failed"
