#!/usr/bin/env bash
# Starts the built program for real, from a folder whose name is Shift-JIS
# bytes (not UTF-8), with a prepared system.dat, ends it with SIGTERM as the
# desktop session does, and checks the copied tree and the history lines.
# Three cases:
#   idle      the start-up backup completes; SIGTERM when idle runs the
#             shut-down sequence with its close-time backup
#   run       SIGTERM while the start-up run waits on a copy failure's box:
#             nothing waits for a click, the messages go to the history, both
#             runs write their result lines and the program ends
#   splash    SIGTERM during the splash: no start-up backup, only the
#             close-time one, from the stored settings
#   no-folder the program cannot find its own folder: it refuses to start
#   end_to_end.sh PATH_TO_TARVENIX
set -euo pipefail

exe="${1:?usage: end_to_end.sh PATH_TO_TARVENIX}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-e2e-XXXXXX")"
# "プログラム" in Shift-JIS: a folder name that is not valid UTF-8.
program="$work/$(printf '\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80')"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

case_name=""
fail() {
    echo "end_to_end ($case_name): $*" >&2
    echo "--- history.txt:" >&2
    iconv -f CP932 -t UTF-8 "$program/history.txt" >&2 2>/dev/null || true
    echo "--- output:" >&2
    cat "$work/out.log" >&2 2>/dev/null || true
    exit 1
}

. "$(dirname "$0")/system_dat.sh"
# write_settings COPY_MODE START_AT_LAUNCH BACKUP_AT_CLOSE
write_settings() {
    write_system_dat "$program/system.dat" "$1" "$2" "$3" "$work/src" "$work/dst" ||
        fail "system.dat is not 7520 bytes"
}

start() {
    case_name="$1"
    rm -f "$program/history.txt"
    "$program/tarvenix" > "$work/out.log" 2>&1 &
    pid=$!
}

# Waits until the history holds a line matching the pattern.
wait_for_line() {
    for _ in $(seq 1 300); do
        grep -q -- "$1" "$program/history.txt" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"
        sleep 0.1
    done
    fail "no line matching $1 within 30 seconds"
}

# Sends SIGTERM and expects the program to end by itself, with status 0.
terminate() {
    kill -TERM "$pid"
    for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "still running 30 seconds after SIGTERM"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
}

# The history's tags and triggers, without date, time and CR, one a line.
expect_history() {
    local actual
    actual="$(iconv -f CP932 -t UTF-8 "$program/history.txt" | cut -d' ' -f3- | tr -d '\r' |
        sed -E 's/(ファイルをコピーできません！).*/\1/')"
    [ "$actual" = "$1" ] || fail "history lines differ: $actual"
}

mkdir -p "$program" "$work/src/docs/2024" "$work/dst"
cp "$exe" "$program/tarvenix"
printf 'first\n' > "$work/src/a.txt"
printf 'second\n' > "$work/src/docs/b.txt"
head -c 300000 /dev/urandom > "$work/src/docs/2024/c.bin"
printf 'hidden\n' > "$work/src/.hidden"

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
unset QT_QPA_PLATFORMTHEME

write_settings 0 1 1
start idle
wait_for_line '\[Success\] \[Prg open\]'
diff -r "$work/src/docs" "$work/dst/docs" || fail "copied tree differs"
cmp "$work/src/a.txt" "$work/dst/a.txt" || fail "a.txt differs"
[ ! -e "$work/dst/.hidden" ] || fail "a hidden file was copied"
terminate
expect_history '[Start] [Prg open]
[Success] [Prg open]
[Start] [Prg close]
[Success] [Prg close]'
grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2} \[Start\]' \
    "$program/history.txt" || fail "history time stamps are not yyyy/MM/dd H:mm:ss"

# A full folder where the copy belongs: no file can replace it, and the box
# that says so would wait for a click.
rm -rf "$work/src" "$work/dst"
mkdir -p "$work/src" "$work/dst/locked.txt"
printf 'new\n' > "$work/src/locked.txt"
printf 'old\n' > "$work/dst/locked.txt/inside"
start run
wait_for_line '\[Start\] \[Prg open\]'
sleep 0.5
terminate
stopped='[Message] = Error: バックアップが中止されました！ [?]'
expect_history "[Start] [Prg open]
[Message] = Error: ファイルをコピーできません！
$stopped
[Cancel] [Prg open]
[Start] [Prg close]
[Message] = Error: ファイルをコピーできません！
$stopped
[Cancel] [Prg close]"
[ "$(cat "$work/dst/locked.txt/inside")" = old ] || fail "the folder in the way was changed"

rm -r "$work/dst/locked.txt"
start splash
sleep 1  # the splash stands for two seconds
terminate
expect_history '[Start] [Prg close]
[Success] [Prg close]'
[ "$(cat "$work/dst/locked.txt")" = new ] || fail "the close-time backup did not copy"
passed=3

# Without /proc (a private mount namespace hides it) the program cannot find
# its own folder: it says so and does not start; its box waits until the
# signal of `timeout` ends it.
if unshare --mount --fork true 2>/dev/null; then
    case_name=no-folder
    rm -f "$program/history.txt"
    status=0
    timeout 10 unshare --mount --fork --kill-child sh -c 'mount -t tmpfs none /proc && exec "$0"' \
        "$program/tarvenix" > "$work/out.log" 2>&1 || status=$?
    grep -q 'the folder of the program cannot be found' "$work/out.log" ||
        fail "no message without a program folder (status $status)"
    [ ! -e "$program/history.txt" ] || fail "a run started without a program folder"
    passed=4
else
    echo "end_to_end: no-folder skipped: mount namespaces are not allowed here"
fi
echo "end_to_end: $passed passed, 0 failed"
