#!/usr/bin/env bash
# Peak resident memory and time of runs over a very large tree: FILES small
# files (1 to 64 bytes) in folders of 1,000, copied in full into an empty
# folder, then re-run newer-only over the finished copy (nothing to copy),
# each by the engine alone and, with the --qt-pump run, through a real Qt
# event loop and the progress dialog (offscreen), as the desktop program
# runs it. `cp -a` of the same tree is timed beside them for scale.
#
# Usage: bench/million_files.sh          (as root: a tmpfs of its own)
#   DRIVER  the driver measured (default build/bench/tarvenix_bench_driver)
#   FILES   files in the tree (default 1000000)
# Everything is made on a tmpfs mounted in a temporary folder, unmounted and
# removed on exit. A tmpfs gives each non-empty file a page, so it is sized
# for three trees.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
DRIVER=$(realpath "${DRIVER:-$here/../build/bench/tarvenix_bench_driver}")
FILES=${FILES:-1000000}
[ "$(id -u)" -eq 0 ] || { echo "million_files: needs root (a tmpfs of its own)" >&2; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-million.XXXXXX")
cleanup() {
    if mountpoint -q "$work"; then umount "$work" || umount -l "$work"; fi
    rmdir "$work"
}
trap cleanup EXIT
pages_mb=$((FILES * 3 * 4096 / 1048576 + 256))
mount -t tmpfs -o "size=${pages_mb}m,nr_inodes=$((FILES * 3 + 10000)),mode=0700" tarvenix-million "$work"

python3 - "$work/src" "$FILES" <<'EOF'
import os, sys
root, files = sys.argv[1], int(sys.argv[2])
os.mkdir(root)
for i in range(files):
    folder = os.path.join(root, "d%04d" % (i // 1000))
    if i % 1000 == 0:
        os.mkdir(folder)
    fd = os.open(os.path.join(folder, "file_%05d.txt" % (i % 1000)), os.O_WRONLY | os.O_CREAT, 0o644)
    os.write(fd, b"x" * (i % 64 + 1))
    os.close(fd)
EOF

# Runs a command, prints its wall time and peak resident memory; fails the
# script when the command fails, so a broken run is never reported.
measured() {
    local label=$1
    shift
    python3 - "$label" "$@" <<'EOF'
import resource, subprocess, sys, time
label, cmd = sys.argv[1], sys.argv[2:]
start = time.monotonic()
rc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
seconds = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"{label:38s} {seconds:7.2f} s  peak resident {peak / 1024:6.1f} MiB  exit {rc}")
sys.exit(rc)
EOF
}

echo "$FILES files in $((FILES / 1000)) folders on a tmpfs; $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
mkdir "$work/dst"
measured "full copy, engine" "$DRIVER" "$work/src" "$work/dst" 0
[ "$(find "$work/dst" -type f | wc -l)" -eq "$FILES" ] || { echo "the copy is incomplete" >&2; exit 1; }
measured "unchanged re-run, engine" "$DRIVER" "$work/src" "$work/dst" 1
rm -rf "$work/dst" && mkdir "$work/dst"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} measured "full copy, Qt pump and dialog" "$DRIVER" "$work/src" "$work/dst" 0 --qt-pump
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} measured "unchanged re-run, Qt pump and dialog" "$DRIVER" "$work/src" "$work/dst" 1 --qt-pump
measured "cp -a (for scale)" cp -a "$work/src" "$work/cp"
