#!/usr/bin/env bash
# Starts the built program from a folder of its own with a prepared
# system.dat (backup at start and at close on), waits for the start-up
# backup, ends the program with SIGTERM as the desktop session does, and
# checks the copied tree and the history lines of both runs.
#   end_to_end.sh PATH_TO_TARVENIX
set -euo pipefail

exe="${1:?usage: end_to_end.sh PATH_TO_TARVENIX}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-e2e-XXXXXX")"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "end_to_end: $*" >&2
    echo "--- history.txt:" >&2
    cat "$work/program/history.txt" >&2 2>/dev/null || true
    exit 1
}

mkdir -p "$work/program" "$work/src/docs/2024" "$work/dst"
cp "$exe" "$work/program/tarvenix"
printf 'first\n' > "$work/src/a.txt"
printf 'second\n' > "$work/src/docs/b.txt"
head -c 300000 /dev/urandom > "$work/src/docs/2024/c.bin"
printf 'hidden\n' > "$work/src/.hidden"

# system.dat: 47 records of 160 bytes, each an 80-character field padded with
# spaces (the values here are ASCII, so bytes and characters agree).
record() { printf '%-160s' "$1"; }
{
    record 0 ; record 1 ; record 1 ; record 0 ; record 0 ; record 1   # options 1-6
    record False ; record False ; record False                        # shut-down flags
    for _ in 1 2 3 4 5 6; do record ""; done                          # start times
    record "$work/src"; for _ in 1 2 3 4 5 6 7; do record ""; done    # sources
    record "$work/dst"; for _ in 1 2 3 4 5 6 7; do record ""; done    # destinations
    for _ in 1 2 3 4 5 6 7 8; do record 1; done                       # sub-folders
    for _ in 1 2 3 4 5 6 7 8; do record 0; done                       # skip
} > "$work/program/system.dat"
[ "$(stat -c %s "$work/program/system.dat")" -eq 7520 ] || fail "system.dat is not 7520 bytes"

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
unset QT_QPA_PLATFORMTHEME
"$work/program/tarvenix" > "$work/out.log" 2>&1 &
pid=$!

# The splash stands for two seconds, then the backup at start runs.
for _ in $(seq 1 300); do
    grep -q '\[Success\] \[Prg open\]' "$work/program/history.txt" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"
    sleep 0.1
done
grep -q '\[Success\] \[Prg open\]' "$work/program/history.txt" 2>/dev/null ||
    fail "no successful start-up backup within 30 seconds"

diff -r "$work/src/docs" "$work/dst/docs" || fail "copied tree differs"
cmp "$work/src/a.txt" "$work/dst/a.txt" || fail "a.txt differs"
[ ! -e "$work/dst/.hidden" ] || fail "a hidden file was copied"

# The desktop session ends: the shut-down sequence runs the close backup.
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"

expected='[Start] [Prg open]
[Success] [Prg open]
[Start] [Prg close]
[Success] [Prg close]'
# Drop the date and time, and the CR of the CR LF line ends.
actual="$(cut -d' ' -f3- "$work/program/history.txt" | tr -d '\r')"
[ "$actual" = "$expected" ] || fail "history lines differ: $actual"
grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2} \[Start\]' \
    "$work/program/history.txt" || fail "history time stamps are not yyyy/MM/dd H:mm:ss"
echo "end_to_end: 1 passed, 0 failed"
