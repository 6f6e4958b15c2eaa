#!/usr/bin/env bash
# The engine against a build before it, side by side in one run, on the
# media people back up to that bench/run_benchmarks.sh does not cover: FAT32
# and exFAT through their FUSE drivers, and an ext4 disk throttled to a slow
# drive's write speed. A full copy into an empty folder, of small files and
# of large ones; the two drivers take turns, the first of each round changing.
#
# Usage: DRIVER_BASE=... bench/media_side_by_side.sh     (as root)
#   DRIVER       the driver measured (default build/bench/tarvenix_bench_driver)
#   DRIVER_BASE  the other build's driver (required; see bench/run_benchmarks.sh
#                --help for building one from an older commit)
#   MEDIA        "fat32 exfat slow" (default all three)
#   ROUNDS       timed rounds per driver and case (default 3); medians printed
#   SMALL_FILES  small files of 1 to 8 KB in 10 folders (default 500)
#   RATE         the slow drive's write speed in bytes a second (default
#                10000000, a USB 2 stick), by cgroup v1 blkio, write-back included
# Everything is made in a temporary folder, unmounted and removed on exit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
DRIVER=$(realpath "${DRIVER:-$here/../build/bench/tarvenix_bench_driver}")
DRIVER_BASE=$(realpath "${DRIVER_BASE:?set DRIVER_BASE to the driver of the other build}")
MEDIA=${MEDIA:-fat32 exfat slow} ROUNDS=${ROUNDS:-3} SMALL_FILES=${SMALL_FILES:-500}
RATE=${RATE:-10000000}
[ "$(id -u)" -eq 0 ] || { echo "media_side_by_side: needs root (loop devices, FUSE, cgroup)" >&2; exit 77; }
throttle=/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-media.XXXXXX")
mnt="$work/mnt" dev="" loop=""
unmount() {
    [ -z "$dev" ] || echo "$dev 0" >"$throttle"
    dev=""
    if mountpoint -q "$mnt"; then umount "$mnt" 2>/dev/null || fusermount3 -u "$mnt" 2>/dev/null || umount -l "$mnt"; fi
    [ -z "$loop" ] || losetup -d "$loop" 2>/dev/null || true
    loop=""
}
cleanup() {
    unmount
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
mkdir -p "$mnt" "$work/small" "$work/large"
for i in $(seq 1 "$SMALL_FILES"); do
    mkdir -p "$work/small/d$((i % 10))"
    head -c $((1024 + (i * 7919) % 7168)) /dev/urandom >"$work/small/d$((i % 10))/f$i.txt"
done
for i in 1 2 3 4; do head -c 16M /dev/urandom >"$work/large/big$i.bin"; done

mount_medium() {
    local img="$work/medium.img"
    rm -f "$img" && truncate -s 1G "$img"
    case $1 in
        fat32) mkfs.vfat -F 32 "$img" >/dev/null && fusefat -o rw+ "$img" "$mnt" >/dev/null ;;
        exfat) mkfs.exfat "$img" >/dev/null && loop=$(losetup -f --show "$img") && mount.exfat-fuse "$loop" "$mnt" >/dev/null ;;
        slow)
            [ -w "$throttle" ] || { echo "slow: skipped: no cgroup v1 blkio throttling here"; return 1; }
            mkfs.ext4 -q -F "$img" && mount -o loop "$img" "$mnt" && dev=$(mountpoint -d "$mnt") &&
                echo "$dev $RATE" >"$throttle"
            ;;
    esac
}

median() { sort -n | awk '{t[NR]=$1} END {print t[int((NR+1)/2)]}'; }
timed() {  # timed DRIVER SRC: seconds of one full copy into an empty folder
    rm -rf "$mnt/dst" && mkdir "$mnt/dst" && sync -f "$mnt"
    local start end
    start=$(date +%s.%N)
    "$1" "$2" "$mnt/dst" 0 >/dev/null 2>&1 || { echo "media_side_by_side: $1 failed" >&2; exit 1; }
    end=$(date +%s.%N)
    [ "$(find "$mnt/dst" -type f | wc -l)" -eq "$(find "$2" -type f | wc -l)" ] ||
        { echo "media_side_by_side: $1 left files out on $medium" >&2; exit 1; }
    awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f\n", b - a}'
}

echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start; $ROUNDS rounds, medians"
printf '%-7s %-6s %9s %9s %10s\n' medium data "ours (s)" "base (s)" ours/base
for medium in $MEDIA; do
    mount_medium "$medium" || continue
    for data in small large; do
        ours=() base=()
        for round in $(seq 1 "$ROUNDS"); do
            if ((round % 2)); then
                ours+=("$(timed "$DRIVER" "$work/$data")") base+=("$(timed "$DRIVER_BASE" "$work/$data")")
            else
                base+=("$(timed "$DRIVER_BASE" "$work/$data")") ours+=("$(timed "$DRIVER" "$work/$data")")
            fi
        done
        o=$(printf '%s\n' "${ours[@]}" | median) b=$(printf '%s\n' "${base[@]}" | median)
        printf '%-7s %-6s %9.3f %9.3f %10.2f   (ours %s; base %s)\n' "$medium" "$data" "$o" "$b" \
            "$(awk -v o="$o" -v b="$b" 'BEGIN {print o / b}')" "${ours[*]}" "${base[*]}"
    done
    unmount
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
