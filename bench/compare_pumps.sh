#!/usr/bin/env bash
# What serving the user interface costs a backup run: the same engine on the
# same small-file tree (20,000 files of 1 to 8 KB in 200 folders), with the
# idle scripted pump and with the real Qt event pump and progress dialog
# (offscreen), alternating in one process. Prints both medians and the ratio.
#   bench/compare_pumps.sh [ROUNDS]        (env DRIVER as for run_benchmarks.sh)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
driver="${DRIVER:-$here/../build/bench/tarvenix_bench_driver}"
rounds="${1:-9}"
base="/dev/shm"
[ -d "$base" ] || base="${TMPDIR:-/tmp}"
work="$(mktemp -d "$base/tarvenix-pumps-XXXXXX")"
trap 'rm -rf "$work"' EXIT

: > "$work/newer.txt"
python3 "$here/bench_helper.py" gen-small "$work/src" 20000 200 6 "$work/newer.txt" > /dev/null
mkdir -p "$work/dst"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$driver" --compare-pumps "$work/src" "$work/dst" "$rounds"
