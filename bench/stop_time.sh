#!/usr/bin/env bash
# Time from a termination request (SIGTERM, as the end of the session sends
# it) to the end of the program, during a backup onto a slow destination.
#
# Usage: bench/stop_time.sh            (as root; settings from the environment)
#   PROGRAM  the built program (default build/app/tarvenix)
#   ROUNDS   runs (default 3); the median and every run are printed
#   RATE     the destination's write speed in bytes a second (default 10000000,
#            a USB 2 stick): an ext4 image on a loop device throttled by
#            cgroup v1 blkio, write-back included
#   AFTER    seconds the backup runs before SIGTERM (default 8)
# The source is 24 files of 8 MiB in /dev/shm; the program starts its backup
# at launch (offscreen Qt) into the empty destination.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PROGRAM=$(realpath "${PROGRAM:-$here/../build/app/tarvenix}")
ROUNDS=${ROUNDS:-3} RATE=${RATE:-10000000} AFTER=${AFTER:-8}
[ "$(id -u)" -eq 0 ] || { echo "stop_time: needs root (loop device, cgroup)" >&2; exit 77; }
throttle=/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device
[ -w "$throttle" ] || { echo "stop_time: no cgroup v1 blkio throttling" >&2; exit 77; }

work=$(mktemp -d /dev/shm/tarvenix-stop.XXXXXX)
mnt=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-stop-mnt.XXXXXX")
img="$mnt.img" pid="" dev=""
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    [ -z "$dev" ] || echo "$dev 0" >"$throttle"
    umount "$mnt" 2>/dev/null || true
    rm -rf "$work" "$img"
    rmdir "$mnt"
}
trap cleanup EXIT
truncate -s 512M "$img" && mkfs.ext4 -q -F "$img" && mount -o loop "$img" "$mnt"
dev=$(mountpoint -d "$mnt")
mkdir -p "$work/program" "$work/src"
cp "$PROGRAM" "$work/program/tarvenix"
for i in $(seq 1 24); do head -c 8M /dev/urandom >"$work/src/f$i"; done
# system.dat: overwrite everything, back up at launch, history on; set 0.
record() { { printf '%s' "$1"; printf '%160s' ''; } | head -c 160; }
{
    record 0; record 1; record 0; record 0; record 0; record 1
    for _ in 1 2 3; do record False; done
    for _ in $(seq 6); do record ""; done
    record "$work/src"; for _ in $(seq 7); do record ""; done
    record "$mnt/dst"; for _ in $(seq 7); do record ""; done
    for _ in $(seq 8); do record 1; done
    for _ in $(seq 8); do record 0; done
} >"$work/program/system.dat"
export QT_QPA_PLATFORM=offscreen
times=()
for round in $(seq 1 "$ROUNDS"); do
    rm -rf "$mnt/dst" "$work/program/history.txt" && mkdir "$mnt/dst" && sync -f "$mnt"
    echo "$dev $RATE" >"$throttle"
    "$work/program/tarvenix" >"$work/out.log" 2>&1 &
    pid=$!
    sleep "$AFTER"
    grep -q 'Start' "$work/program/history.txt" || { echo "stop_time: no backup started" >&2; exit 1; }
    start=$(date +%s.%N)
    kill -TERM "$pid"
    wait "$pid" || true
    end=$(date +%s.%N)
    pid=""
    echo "$dev 0" >"$throttle"
    copied=$(find "$mnt/dst" -type f -name 'f*' | wc -l)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')")
    printf 'round %d: %.1f s from SIGTERM to the end (%d files in place then)\n' "$round" "${times[-1]}" "$copied"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{t[NR]=$1} END {printf "median %.1f s over %d runs\n", t[int((NR+1)/2)], NR}'
