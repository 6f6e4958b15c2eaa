#!/usr/bin/env bash
# The X server ends, as a log-out ends it before the session's programs. Under
# a run (the copy in flight held, its destination frozen, until the server is
# gone): the run ends as on SIGTERM (stop message and "[Cancel]" in the
# history), no temporary copy is left, the old copy is whole. Idle: the
# shut-down sequence runs its close-time backup unseen. Either way the
# program then ends by itself, with status 0.
#   display_lost.sh PATH_TO_TARVENIX   (root: loop mount, fsfreeze; else 77)
set -euo pipefail
exe="${1:?usage: display_lost.sh PATH_TO_TARVENIX}"
. "$(dirname "$0")/common.sh"
[ "$(id -u)" -eq 0 ] || { echo "display_lost.sh: skipped: needs root to mount and freeze"; exit 77; }
e2e_begin program
dst="$work/dst" server=""
lost_cleanup() {
    fsfreeze -u "$dst" 2> /dev/null || true
    [ -z "$server" ] || kill "$server" 2> /dev/null || true
    # The program first: its open files would keep the file system busy.
    [ -z "$pid" ] || { kill -KILL "$pid" 2> /dev/null; wait "$pid" 2> /dev/null; pid=""; } || true
    umount "$dst" 2> /dev/null || true
    e2e_cleanup
}
trap lost_cleanup EXIT
mkdir -p "$program" "$work/src" "$dst"
truncate -s 1G "$work/dst.img"
mkfs.ext4 -q "$work/dst.img" && mount -o loop "$work/dst.img" "$dst" || fail "cannot mount ext4"
cp "$exe" "$program/tarvenix"
head -c 300M /dev/zero | tr '\0' n > "$work/src/big.bin"
head -c 1M /dev/zero | tr '\0' o > "$dst/big.bin"
touch -d '2000-01-01' "$dst/big.bin"
write_system_dat 0 1 0 "$work/src" "$dst"

start_on_own_x() {
    case_name="$1"
    rm -f "$history" "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" 2> /dev/null &
    server=$!
    timeout 10 sh -c "until [ -s '$work/display' ]; do sleep 0.1; done" || fail "Xvfb did not start"
    DISPLAY=":$(head -n 1 "$work/display")" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
        QT_QPA_PLATFORM=xcb "$program/tarvenix" > "$work/out.log" 2>&1 &
    pid=$!
}
lose_display() {
    kill "$server"
    wait "$server" || true
    server=""
}
ended_by_itself() {
    timeout 30 tail --pid="$pid" -s 0.1 -f /dev/null || fail "still running 30 seconds after the display went"
    wait "$pid" || fail "exit status $? after the display went"
    pid=""
}

start_on_own_x run
# Mid-copy: the temporary copy holds its first chunks; then its writes wait.
tmp_size() { stat -c %s "$dst"/.tarvenix-tmp-* 2> /dev/null || echo 0; }
timeout 60 sh -c "until [ \"\$(stat -c %s '$dst'/.tarvenix-tmp-* 2>/dev/null || echo 0)\" -gt 20000000 ]; do sleep 0.05; done" ||
    fail "no copy in flight (temporary copy at $(tmp_size) bytes)"
fsfreeze -f "$dst"
# The copy runs on one of the program's threads, not necessarily the first.
timeout 30 sh -c "until cat /proc/$pid/task/*/wchan | grep -q rwsem; do sleep 0.05; done" ||
    fail "the copy did not wait for the frozen destination ($(cat /proc/$pid/task/*/wchan | tr '\0' ' '))"
lose_display
fsfreeze -u "$dst"
ended_by_itself
expect_history '[Start] [Prg open]' '[Message] = Error: バックアップが中止されました！ [?]' '[Cancel] [Prg open]'
[ -z "$(find "$dst" -name '.tarvenix-tmp-*')" ] || fail "temporary copies left: $(ls -a "$dst")"
[ "$(tr -d o < "$dst/big.bin" | wc -c)" -eq 0 ] && [ "$(stat -c %s "$dst/big.bin")" -eq 1048576 ] ||
    fail "the old copy was changed"

write_system_dat 0 1 1 "$work/src" "$dst"
rm "$work/src/big.bin"
printf 'new\n' > "$work/src/a.txt"
start_on_own_x idle
wait_for '\[Success\] \[Prg open\]' 300 || fail "no backup at launch"
rm "$dst/a.txt"
lose_display
ended_by_itself
expect_history '[Start] [Prg open]' '[Success] [Prg open]' '[Start] [Prg close]' '[Success] [Prg close]'
[ "$(cat "$dst/a.txt")" = new ] || fail "the close-time backup did not copy"
echo "display_lost: 2 passed, 0 failed"
