#!/usr/bin/env bash
# Tarvenix backup benchmark: times the bench driver against cp and rsync.
#
# Usage: bench/run_benchmarks.sh            (settings come from the environment)
#
#   DRIVER       driver program (default: build/bench/tarvenix_bench_driver below the
#                repository root); called as DRIVER SRC DST MODE [--qt-pump]
#   DRIVER_BASE  a second driver, e.g. a build of an older commit, run side by side
#                with DRIVER on every scenario ("base" in the tables, with its own
#                ratios and ours/base), so a gain is measured in the same run. Build it
#                in a temporary worktree, away from this checkout:
#                  git worktree add /tmp/tarvenix-base COMMIT
#                  cmake -S /tmp/tarvenix-base -B /tmp/tarvenix-base/build \
#                        -DCMAKE_BUILD_TYPE=RelWithDebInfo
#                  cmake --build /tmp/tarvenix-base/build -j2 --target tarvenix_bench_driver
#                  DRIVER_BASE=/tmp/tarvenix-base/build/bench/tarvenix_bench_driver \
#                        bench/run_benchmarks.sh
#                and afterwards: git worktree remove --force /tmp/tarvenix-base
#   ROUNDS       timed rounds per tool and scenario (default 5); one untimed warm-up
#                per tool comes first
#   SCENARIOS    subset, numbers or names, e.g. "1 3" or "small-full,newer10"
#                  1 small-full   full copy of ~20,000 small files into an empty folder
#                  2 large-full   full copy of 20 x 50 MB files into an empty folder
#                  3 unchanged    newer-only re-run (MODE 1) over an up-to-date copy
#                  4 newer10      newer-only re-run where a fixed 10 % of files are newer
#                  5 overwrite    overwrite-all re-run (MODE 0) over an existing copy
#   FILESYSTEMS  "tmpfs ext4 xfs" (default all three), and "share"; ext4 (journaled) and
#                xfs are loop-mounted images and need root; tmpfs falls back to /dev/shm
#                without root
#                share: a latency-bound network share, root only: sshd on 127.0.0.1 (own
#                host key, config and client key in the temporary folder), a relay on
#                127.0.0.1 that holds every chunk back by SHARE_DELAY_MS in each
#                direction, and sshfs mounting an export folder through the relay. It
#                runs its own scenarios, whatever SCENARIOS says:
#                  6 share-full       full copy of SHARE_FILES small files
#                                     (peers cp -a, rsync -a)
#                  7 share-unchanged  newer-only re-run over an up-to-date copy
#                                     (peers cp -a -u, rsync -a --update)
#                  8 share-overwrite  overwrite-all re-run over an existing copy (peer cp -a)
#                  9 share-one-folder full copy of SHARE_FOLDER_FILES small files in
#                                     one folder, where every file made or renamed
#                                     waits for that folder's lock (peers cp -a, rsync -a)
#                Each run writes into a folder of the share it has never seen (no stale
#                sshfs cache); copies to start from are made behind the share, locally.
#                Needs openssh-server and sshfs (apt-get install openssh-server sshfs).
#   SHARE_FILES     small files on the share (default 2000: a full copy takes about
#                   50 s per tool at 1 ms each way; QUICK=1: 300)
#   SHARE_FOLDER_FILES  small files in the one folder of scenario 9 (default 600;
#                   QUICK=1: 100)
#   SHARE_ROUNDS    timed rounds per tool on the share (default 1; no warm-up there,
#                   the first round's copy is the one checked)
#   SHARE_DELAY_MS  the relay's delay in each direction (default 1)
#   QUICK=1      small data set for a smoke test (2,000 small files, 3 x 10 MB)
#   QT_PUMP=1    pass --qt-pump to the driver (results are labelled accordingly)
#   VERIFY=0     skip the check that each warm-up run produced an exact copy
#   RESULTS_MD   Markdown result file (default bench/results-latest.md)
#   PYTHON       Python 3 interpreter (default python3)
#
# Every run of every tool (including the peers' final `sync -f DST`) is timed as a
# whole; destinations are removed and rebuilt between runs outside the timed part.
# Everything is created in a fresh temporary folder (and, as root, fresh tmpfs and
# ext4 mounts) that is unmounted and removed on exit, Ctrl-C or failure; the
# share's sshd, relay and sshfs are ended by the PIDs this script started.
#
# Needs only Debian packages: bash coreutils rsync e2fsprogs xfsprogs util-linux python3;
# for the share also openssh-server sshfs (and fuse3 for fusermount).

set -euo pipefail
export LC_ALL=C

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_ROOT=$(cd "$BENCH_DIR/.." && pwd)
HELPER="$BENCH_DIR/bench_helper.py"

case "${1:-}" in
  -h|--help) sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) echo "unknown argument: $1 (settings come from the environment, see --help)" >&2; exit 2 ;;
esac

PYTHON=${PYTHON:-python3}
ROUNDS=${ROUNDS:-5}
QUICK=${QUICK:-0}
QT_PUMP=${QT_PUMP:-0}
VERIFY=${VERIFY:-1}
SCENARIOS=${SCENARIOS:-1 2 3 4 5}
FILESYSTEMS=${FILESYSTEMS:-tmpfs ext4 xfs}
RESULTS_MD=${RESULTS_MD:-$BENCH_DIR/results-latest.md}
DRIVER=${DRIVER:-build/bench/tarvenix_bench_driver}
DRIVER_BASE=${DRIVER_BASE:-}
SHARE_ROUNDS=${SHARE_ROUNDS:-1}
SHARE_DELAY_MS=${SHARE_DELAY_MS:-1}

die() { echo "run_benchmarks: $*" >&2; exit 1; }
say() { echo "[$(date +%H:%M:%S)] $*"; }

[[ $ROUNDS =~ ^[1-9][0-9]*$ ]] || die "ROUNDS must be a positive number (got '$ROUNDS')"
[[ $SHARE_ROUNDS =~ ^[1-9][0-9]*$ ]] || die "SHARE_ROUNDS must be a positive number (got '$SHARE_ROUNDS')"
[[ $SHARE_DELAY_MS =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "SHARE_DELAY_MS must be a number (got '$SHARE_DELAY_MS')"

# ------------------------------------------------------------------ data set sizes
if [[ $QUICK == 1 ]]; then
  SMALL_FILES=2000 SMALL_FOLDERS=20 LARGE_FILES=3 LARGE_MB=10
else
  SMALL_FILES=20000 SMALL_FOLDERS=200 LARGE_FILES=20 LARGE_MB=50
fi
SMALL_DEPTH=6
SHARE_FILES=${SHARE_FILES:-$([[ $QUICK == 1 ]] && echo 300 || echo 2000)}
[[ $SHARE_FILES =~ ^[1-9][0-9]*$ ]] || die "SHARE_FILES must be a positive number (got '$SHARE_FILES')"
SHARE_FOLDERS=$(( SHARE_FILES / 100 + 1 ))
SHARE_FOLDER_FILES=${SHARE_FOLDER_FILES:-$([[ $QUICK == 1 ]] && echo 100 || echo 600)}
[[ $SHARE_FOLDER_FILES =~ ^[1-9][0-9]*$ ]] || die "SHARE_FOLDER_FILES must be a positive number (got '$SHARE_FOLDER_FILES')"
MIB=$((1024 * 1024))
# Worst case per tree: every small file takes two 4 KiB pages/blocks, plus folders.
TREE_BYTES=$(( SMALL_FILES * 8192 + SMALL_FOLDERS * 4096 + LARGE_FILES * LARGE_MB * MIB ))
# Source and one destination live at the same time, plus headroom.
NEED_BYTES=$(( 2 * TREE_BYTES + 256 * MIB ))
EXT4_IMAGE_BYTES=$(( NEED_BYTES * 13 / 10 ))
if (( EXT4_IMAGE_BYTES < 3072 * MIB )); then EXT4_IMAGE_BYTES=$((3072 * MIB)); fi

# ------------------------------------------------------------------ scenarios
declare -A SC_NAME SC_DESC SC_DATA SC_PREP SC_MODE SC_CP SC_RSYNC SC_TOUCH
def_sc() { SC_NAME[$1]=$2 SC_DATA[$1]=$3 SC_PREP[$1]=$4 SC_MODE[$1]=$5 SC_CP[$1]=$6 SC_RSYNC[$1]=$7 SC_TOUCH[$1]=$8 SC_DESC[$1]=$9; }
#      id name       data  dest  mode cp        rsync         touch description
def_sc 1 small-full  small empty 0    cp_full   rsync_full    0 "full copy of ${SMALL_FILES} small files (1-8 KB, ${SMALL_FOLDERS} folders, ${SMALL_DEPTH} levels) into an empty destination"
def_sc 2 large-full  large empty 0    cp_full   rsync_full    0 "full copy of ${LARGE_FILES} files of ${LARGE_MB} MiB into an empty destination"
def_sc 3 unchanged   small copy  1    cp_update rsync_update  0 "newer-only re-run over an up-to-date copy of the small-file tree (nothing to copy)"
def_sc 4 newer10     small copy  1    cp_update rsync_update  1 "newer-only re-run over a copy of the small-file tree where a fixed 10 % of the source files carry a later time"
def_sc 5 overwrite   small copy  0    cp_full   rsync_ignore  0 "overwrite-all re-run over an existing copy of the small-file tree"
# The share's own scenarios (see FILESYSTEMS); "-" means no such peer.
def_sc 6 share-full      share empty 0 cp_full   rsync_full    0 "full copy of ${SHARE_FILES} small files (1-8 KB, ${SHARE_FOLDERS} folders) onto the share"
def_sc 7 share-unchanged share copy  1 cp_update rsync_update  0 "newer-only re-run over an up-to-date copy on the share (nothing to copy)"
def_sc 8 share-overwrite share copy  0 cp_full   -             0 "overwrite-all re-run over an existing copy on the share"
def_sc 9 share-one-folder share1 empty 0 cp_full rsync_full  0 "full copy of ${SHARE_FOLDER_FILES} small files (1-8 KB) in one folder onto the share"
SHARE_SCENARIOS=(6 7 8 9)

declare -A CMD_TEXT=(
  [cp_full]='cp -a SRC/. DST/ && sync -f DST'
  [cp_update]='cp -a -u -T SRC DST && sync -f DST'
  [rsync_full]='rsync -a SRC/ DST/ && sync -f DST'
  [rsync_update]='rsync -a --update SRC/ DST/ && sync -f DST'
  [rsync_ignore]='rsync -a --ignore-times SRC/ DST/ && sync -f DST'
  [-]='-'
)
cp_full()      { cp -a "$1/." "$2/" && sync -f "$2"; }
cp_update()    { cp -a -u -T "$1" "$2" && sync -f "$2"; }
rsync_full()   { rsync -a "$1/" "$2/" && sync -f "$2"; }
rsync_update() { rsync -a --update "$1/" "$2/" && sync -f "$2"; }
rsync_ignore() { rsync -a --ignore-times "$1/" "$2/" && sync -f "$2"; }

DRIVER_EXTRA=()
OURS_LABEL=ours
if [[ $QT_PUMP == 1 ]]; then DRIVER_EXTRA=(--qt-pump); OURS_LABEL="ours+qt-pump"; fi
export OURS_LABEL
ours() { "$DRIVER" "$1" "$2" "$CUR_MODE" "${DRIVER_EXTRA[@]}"; }
base() { "$DRIVER_BASE" "$1" "$2" "$CUR_MODE" "${DRIVER_EXTRA[@]}"; }
PROGRAM_TOOLS=(ours)
if [[ -n $DRIVER_BASE ]]; then PROGRAM_TOOLS+=(base); fi
export BASE_LABEL="base${DRIVER_EXTRA[*]:+ ${DRIVER_EXTRA[*]}}"

# Selected scenarios, accepting numbers or names, commas or spaces.
SELECTED=()
for s in ${SCENARIOS//,/ }; do
  found=
  for id in 1 2 3 4 5; do
    if [[ $s == "$id" || $s == "${SC_NAME[$id]}" ]]; then found=$id; fi
  done
  [[ -n $found ]] || die "unknown scenario '$s' (use 1-5 or small-full large-full unchanged newer10 overwrite)"
  SELECTED+=("$found")
done
NEED_SMALL=0 NEED_LARGE=0
FS_LIST=()
LOCAL_FS=0
for f in ${FILESYSTEMS//,/ }; do
  case $f in
    tmpfs|ext4|xfs) FS_LIST+=("$f"); LOCAL_FS=1 ;;
    share) FS_LIST+=("$f") ;;
    *) die "unknown file system '$f' (use tmpfs ext4 xfs share)" ;;
  esac
done
(( LOCAL_FS )) || SELECTED=()
for f in "${FS_LIST[@]}"; do [[ $f == share ]] && SELECTED+=("${SHARE_SCENARIOS[@]}"); done
for id in "${SELECTED[@]}"; do
  case ${SC_DATA[$id]} in small) NEED_SMALL=1 ;; large) NEED_LARGE=1 ;; esac
done

# ------------------------------------------------------------------ tool checks
command -v rsync >/dev/null || die "rsync is not installed: apt-get install rsync"
for t in cp sync truncate findmnt mountpoint; do
  command -v "$t" >/dev/null || die "$t is missing (coreutils / util-linux)"
done
"$PYTHON" -c 'import sys; sys.exit(sys.version_info < (3, 9))' 2>/dev/null \
  || die "$PYTHON (Python >= 3.9) is needed: apt-get install python3"
(( BASH_VERSINFO[0] >= 5 )) || die "bash >= 5 is needed"

case $DRIVER in /*) ;; *) if [[ -e $DRIVER ]]; then DRIVER=$(pwd)/$DRIVER; else DRIVER=$REPO_ROOT/$DRIVER; fi ;; esac
[[ -f $DRIVER && -x $DRIVER ]] || die "driver not found or not executable: $DRIVER (build it first, or set DRIVER=...)"
if [[ -n $DRIVER_BASE ]]; then
  case $DRIVER_BASE in /*) ;; *) DRIVER_BASE=$(pwd)/$DRIVER_BASE ;; esac
  [[ -f $DRIVER_BASE && -x $DRIVER_BASE ]] || die "DRIVER_BASE not found or not executable: $DRIVER_BASE (see --help for how to build one)"
fi

# ------------------------------------------------------------------ temp space + cleanup
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-bench.XXXXXX")
MOUNTS=()       # mount points we mounted, in order
IMAGES=()       # ext4 image files (loop devices are looked up by backing file)
EXTRA_DIRS=()   # temp folders outside WORK (e.g. below /dev/shm)
SHARE_PIDS=()   # sshd, relay, sshfs: started here, ended here by these PIDs
SHARE_MNT=      # the sshfs mount point while it is mounted
SSHD_PID=       # sshd's listening process (also in SHARE_PIDS)

# Unmounts the share and ends what setup_share started, latest first.
share_stop() {
  if [[ -n $SHARE_MNT ]] && mountpoint -q "$SHARE_MNT"; then
    fusermount -u "$SHARE_MNT" 2>/dev/null || fusermount -u -z "$SHARE_MNT" 2>/dev/null || true
  fi
  SHARE_MNT=
  local i pid end
  # Once sshfs has ended (it is the last one started), the session sshd forked
  # for it ends too; the listening sshd must still be there to collect it.
  if (( ${#SHARE_PIDS[@]} == 3 )); then
    wait "${SHARE_PIDS[2]}" 2>/dev/null || true
    end=$(( ${EPOCHREALTIME/./} + 5000000 ))
    while [[ -n $SSHD_PID ]] && pgrep -P "$SSHD_PID" >/dev/null && (( ${EPOCHREALTIME/./} < end )); do sleep 0.05; done
  fi
  for (( i = ${#SHARE_PIDS[@]} - 1; i >= 0; i-- )); do
    pid=${SHARE_PIDS[i]}
    if kill -0 "$pid" 2>/dev/null; then kill -TERM "$pid" 2>/dev/null || true; fi
    wait "$pid" 2>/dev/null || true
  done
  SHARE_PIDS=() SSHD_PID=
}

unmount_one() {
  local m=$1
  if mountpoint -q "$m"; then
    umount "$m" 2>/dev/null || { sleep 1; umount "$m" 2>/dev/null; } || umount -l "$m" || true
  fi
}
detach_images() {
  local img dev
  for img in "${IMAGES[@]}"; do
    [[ -e $img ]] || continue
    for dev in $(losetup -j "$img" 2>/dev/null | cut -d: -f1); do losetup -d "$dev" 2>/dev/null || true; done
  done
}
cleanup() {
  local rc=$?
  trap - EXIT INT TERM HUP
  cd /
  local i still=0
  share_stop
  for (( i = ${#MOUNTS[@]} - 1; i >= 0; i-- )); do unmount_one "${MOUNTS[i]}"; done
  detach_images
  for m in "${MOUNTS[@]}"; do if mountpoint -q "$m"; then still=1; fi; done
  for d in "${EXTRA_DIRS[@]}"; do rm -rf --one-file-system "$d"; done
  if (( still )); then
    echo "run_benchmarks: could not unmount everything; left $WORK in place" >&2
  else
    rm -rf --one-file-system "$WORK"
  fi
  (( rc == 0 )) || echo "run_benchmarks: stopped (status $rc), temporary files removed" >&2
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

RESULTS=$WORK/results.tsv SCEN_TSV=$WORK/scenarios.tsv FSINFO=$WORK/fsinfo.tsv META=$WORK/meta.tsv
LOG=$WORK/tools.log
: >"$RESULTS"; : >"$FSINFO"
for id in "${SELECTED[@]}"; do
  ours_txt="DRIVER SRC DST ${SC_MODE[$id]}${DRIVER_EXTRA[*]:+ ${DRIVER_EXTRA[*]}}"
  [[ -n $DRIVER_BASE ]] && ours_txt+=" (and DRIVER_BASE the same way)"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "${SC_NAME[$id]}" "${SC_DESC[$id]}" \
    "$ours_txt" "${CMD_TEXT[${SC_CP[$id]}]}" "${CMD_TEXT[${SC_RSYNC[$id]}]}" >>"$SCEN_TSV"
done
git_rev=$(git -C "$REPO_ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)
if [[ -n $(git -C "$REPO_ROOT" status --porcelain -- src 2>/dev/null) ]]; then git_rev+=" (src/ has local changes)"; fi
{
  printf 'Driver\t%s%s\n' "$DRIVER" "${DRIVER_EXTRA[*]:+ ${DRIVER_EXTRA[*]}}"
  printf 'Label of our driver\t%s\n' "$OURS_LABEL"
  printf 'Repository commit\t%s\n' "$git_rev"
  if [[ -n $DRIVER_BASE ]]; then printf 'Base driver (base)\t%s\n' "$DRIVER_BASE"; fi
  printf 'Rounds\t%s timed + 1 warm-up per tool (share: %s timed, no warm-up), order %s, cp, rsync in every round\n' "$ROUNDS" "$SHARE_ROUNDS" "$(IFS=/; echo "${PROGRAM_TOOLS[*]}")"
  printf 'Data set\t%s\n' "$([[ $QUICK == 1 ]] && echo 'QUICK (smoke test)' || echo full): small = $SMALL_FILES files of 1-8 KB in $SMALL_FOLDERS folders, $SMALL_DEPTH levels; large = $LARGE_FILES x $LARGE_MB MiB; share = $SHARE_FILES files of 1-8 KB in $SHARE_FOLDERS folders, and $SHARE_FOLDER_FILES in one folder; fixed random start value"
  printf 'Page cache\tnot dropped; source trees are warm\n'
  printf 'Load average at start\t%s (other work on the machine disturbs the timings)\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
  printf 'Peers\t%s; %s\n' "$(cp --version | head -1)" "$(rsync --version | head -1 | sed 's/  */ /g')"
} >"$META"

report() { "$PYTHON" "$HELPER" report "$RESULTS" "$SCEN_TSV" "$FSINFO" "$META" "$@"; }

# ------------------------------------------------------------------ file systems
FSROOT= FSDESC=
bytes_h() { echo "$(( $1 / MIB )) MiB"; }

setup_tmpfs() {
  if (( EUID == 0 )); then
    local mnt=$WORK/tmpfs size=$(( NEED_BYTES / MIB + 64 ))
    mkdir "$mnt"
    if mount -t tmpfs -o "size=${size}m,mode=0700" tarvenix-bench "$mnt"; then
      MOUNTS+=("$mnt")
      FSROOT=$mnt FSDESC="tmpfs, freshly mounted, size ${size} MiB"
      return 0
    fi
    echo "  mounting a tmpfs failed; trying /dev/shm"
  fi
  if [[ -d /dev/shm && -w /dev/shm && $(stat -f -c %T /dev/shm) == tmpfs ]]; then
    local avail=$(( $(stat -f -c '%a * %S' /dev/shm) ))
    if (( avail >= NEED_BYTES )); then
      FSROOT=$(mktemp -d /dev/shm/tarvenix-bench.XXXXXX)
      EXTRA_DIRS+=("$FSROOT")
      FSDESC="tmpfs (/dev/shm, shared with the system; not root, so no own mount)"
      return 0
    fi
    echo "SKIP tmpfs: /dev/shm has $(bytes_h "$avail") free, need $(bytes_h "$NEED_BYTES")"
    return 1
  fi
  echo "SKIP tmpfs: not root (cannot mount) and no writable tmpfs at /dev/shm"
  return 1
}

# Makes a sparse image of file system $1 with the command that follows (the
# image's path is added last), loop-mounts it and points FSROOT at it; $2 is
# how FSDESC names the file system.
setup_loop_fs() {
  local fs=$1 name=$2; shift 2
  if (( EUID != 0 )); then
    echo "SKIP $fs: needs root to loop-mount an image"; return 1
  fi
  local t
  for t in "$1" losetup mount umount findmnt; do
    command -v "$t" >/dev/null || { echo "SKIP $fs: $t missing (see scripts/setup.sh)"; return 1; }
  done
  local avail=$(( $(stat -f -c '%a * %S' "$WORK") ))
  if (( avail < NEED_BYTES + 512 * MIB )); then
    echo "SKIP $fs: $(bytes_h "$avail") free below $WORK, need $(bytes_h $((NEED_BYTES + 512 * MIB)))"; return 1
  fi
  local img=$WORK/$fs.img mnt=$WORK/$fs
  IMAGES+=("$img")
  truncate -s "$EXT4_IMAGE_BYTES" "$img"
  if ! "$@" "$img"; then
    echo "SKIP $fs: $1 failed"; return 1
  fi
  mkdir "$mnt"
  if ! mount -t "$fs" -o loop "$img" "$mnt"; then
    echo "SKIP $fs: loop mount failed (no loop devices, or no $fs in this kernel?)"; return 1
  fi
  MOUNTS+=("$mnt")
  FSROOT=$mnt
  FSDESC="$name, $(bytes_h "$EXT4_IMAGE_BYTES") sparse image on $(findmnt -n -o FSTYPE --target "$WORK") via $(findmnt -n -o SOURCE --target "$mnt"), mount options $(findmnt -n -o OPTIONS --target "$mnt")"
}

setup_ext4() {
  # Journal on; inode tables and journal initialised now, so no background
  # ext4lazyinit work disturbs the timings.
  setup_loop_fs ext4 "ext4 with journal" \
    mkfs.ext4 -q -F -O has_journal -E lazy_itable_init=0,lazy_journal_init=0 || return 1
  if ! dumpe2fs -h "$WORK/ext4.img" 2>/dev/null | grep -q '^Filesystem features:.*has_journal'; then
    echo "SKIP ext4: image has no journal; refusing to benchmark a journal-less ext4"; return 1
  fi
}

setup_xfs() {
  setup_loop_fs xfs xfs mkfs.xfs -q -f
}

# Polls until the command succeeds (an observable state, not a guessed time);
# gives up after $2 seconds.
wait_until() {
  local what=$1 limit=$2; shift 2
  local end=$(( ${EPOCHREALTIME/./} + limit * 1000000 ))
  local rc
  while true; do
    rc=0; "$@" 2>/dev/null || rc=$?
    (( rc == 0 )) && return 0
    if (( rc == 2 )); then echo "SKIP share: the process for $what ended"; return 1; fi
    if (( ${EPOCHREALTIME/./} > end )); then echo "SKIP share: $what did not happen within ${limit}s"; return 1; fi
    sleep 0.05
  done
}
tcp_listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
alive_and() { kill -0 "$1" 2>/dev/null || return 2; shift; "$@"; }

# The share: sshd on 127.0.0.1 with its own host key and config, the latency
# relay in front of it, and sshfs mounting an export folder through the relay.
# Source and export live on a tmpfs of their own, so the share's round trips,
# not a disk, are what the run waits for.
SHARE_SRC_ROOT= SHARE_EXPORT=
setup_share() {
  if (( EUID != 0 )); then echo "SKIP share: needs root (sshd, key login as root, FUSE mount)"; return 1; fi
  local sshd_bin t
  sshd_bin=$(command -v sshd || echo /usr/sbin/sshd)
  [[ -x $sshd_bin ]] || { echo "SKIP share: sshd missing; install it with: apt-get install openssh-server"; return 1; }
  command -v ssh-keygen >/dev/null || { echo "SKIP share: ssh-keygen missing; install it with: apt-get install openssh-client"; return 1; }
  command -v sshfs >/dev/null || { echo "SKIP share: sshfs missing; install it with: apt-get install sshfs"; return 1; }
  command -v fusermount >/dev/null || { echo "SKIP share: fusermount missing; install it with: apt-get install fuse3"; return 1; }
  [[ -c /dev/fuse ]] || { echo "SKIP share: no /dev/fuse here"; return 1; }
  local d=$WORK/share size=$(( (2 * (SHARE_FILES + SHARE_FOLDER_FILES) * 8192 + 64 * MIB) / MIB ))
  mkdir -m 0700 "$d" "$d/data"
  mount -t tmpfs -o "size=${size}m,mode=0700" tarvenix-bench-share "$d/data" \
    || { echo "SKIP share: mounting a tmpfs for its data failed"; return 1; }
  MOUNTS+=("$d/data")
  SHARE_SRC_ROOT=$d/data SHARE_EXPORT=$d/data/export
  mkdir "$SHARE_EXPORT" "$d/mnt"
  mkdir -p /run/sshd   # sshd's privilege separation folder; not there without the service
  ssh-keygen -q -t ed25519 -N '' -C tarvenix-bench-host -f "$d/host_key"
  ssh-keygen -q -t ed25519 -N '' -C tarvenix-bench-client -f "$d/client_key"
  cp "$d/client_key.pub" "$d/authorized_keys"
  local port
  port=$("$PYTHON" "$HELPER" free-port)
  cat >"$d/sshd_config" <<EOF_CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $d/host_key
PidFile none
AuthorizedKeysFile $d/authorized_keys
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
EOF_CONFIG
  "$sshd_bin" -t -f "$d/sshd_config" || { echo "SKIP share: sshd refuses its configuration"; return 1; }
  "$sshd_bin" -D -e -f "$d/sshd_config" 2>>"$d/sshd.log" &
  SSHD_PID=$!
  SHARE_PIDS+=($!)
  wait_until "sshd listening on 127.0.0.1:$port" 10 alive_and "${SHARE_PIDS[-1]}" tcp_listens "$port" || return 1
  "$PYTHON" "$HELPER" relay "$port" "$SHARE_DELAY_MS" "$d/relay.port" 2>>"$d/relay.log" &
  SHARE_PIDS+=($!)
  wait_until "the relay listening" 10 alive_and "${SHARE_PIDS[-1]}" test -s "$d/relay.port" || return 1
  local relay_port
  relay_port=$(<"$d/relay.port")
  sshfs -f -o "port=$relay_port,IdentityFile=$d/client_key,IdentitiesOnly=yes,BatchMode=yes" \
    -o StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,LogLevel=ERROR \
    "root@127.0.0.1:$SHARE_EXPORT" "$d/mnt" 2>>"$d/sshfs.log" &
  SHARE_PIDS+=($!)
  SHARE_MNT=$d/mnt
  if ! wait_until "the sshfs mount" 20 alive_and "${SHARE_PIDS[-1]}" mountpoint -q "$d/mnt"; then
    sed 's/^/  sshfs: /' "$d/sshfs.log" | tail -n 5; return 1
  fi
  FSROOT=$d/mnt
  FSDESC="sshfs $(sshfs --version 2>&1 | head -1 | awk '{print $NF}') to sshd on 127.0.0.1 ($("$sshd_bin" -V 2>&1 | head -1 | cut -d, -f1)) through a relay holding every chunk back ${SHARE_DELAY_MS} ms in each direction; source and export on a tmpfs"
}

teardown_fs() {
  local i
  share_stop
  for (( i = ${#MOUNTS[@]} - 1; i >= 0; i-- )); do unmount_one "${MOUNTS[i]}"; done
  detach_images
  for d in "${EXTRA_DIRS[@]}"; do rm -rf --one-file-system "$d"; done
  rm -f "$WORK/ext4.img" "$WORK/xfs.img"
}

# ------------------------------------------------------------------ running
ELAPSED_US=0 RC=0 CUR_MODE=0
DST= DST_LOCAL= DST_SEQ=0   # where the tools write, and the same folder seen locally
fmt_us() { printf '%d.%06d' $(( $1 / 1000000 )) $(( $1 % 1000000 )); }

# time_cmd FUNCTION SRC DST: wall time of the whole call in ELAPSED_US, status in RC.
time_cmd() {
  local t0 t1
  RC=0
  echo "--- $*" >>"$LOG"
  t0=$EPOCHREALTIME
  "$@" >>"$LOG" 2>&1 || RC=$?
  t1=$EPOCHREALTIME
  ELAPSED_US=$(( ${t1/./} - ${t0/./} ))
}

# prepare_dst ID SRC: fresh destination (empty or an up-to-date copy) in DST,
# then move the fixed 10 % forward if the scenario wants it; flushed, not
# timed. On the share every run gets a folder the share has never seen (so no
# cached attributes of an earlier one), made behind the share in its export.
prepare_dst() {
  local id=$1 src=$2
  [[ -n $DST_LOCAL ]] && rm -rf --one-file-system "$DST_LOCAL"
  if [[ $CUR_FS == share ]]; then
    DST_SEQ=$(( DST_SEQ + 1 ))
    DST=$FSROOT/dst-$DST_SEQ DST_LOCAL=$SHARE_EXPORT/dst-$DST_SEQ
  else
    DST=$FSROOT/dst DST_LOCAL=$FSROOT/dst
  fi
  mkdir "$DST_LOCAL"
  if [[ ${SC_PREP[$id]} == copy ]]; then cp -a "$src/." "$DST_LOCAL/"; fi
  if [[ ${SC_TOUCH[$id]} == 1 ]]; then "$PYTHON" "$HELPER" set-times "$src" "$NEWER_LIST" newer; fi
  sync -f "$DST_LOCAL"
}
restore_src() {
  local id=$1 src=$2
  if [[ ${SC_TOUCH[$id]} == 1 ]]; then "$PYTHON" "$HELPER" set-times "$src" "$NEWER_LIST" reset; fi
}

# check_copy TOOL SRC: "ok", "FAIL" or "-" (not checked, or the run failed).
check_copy() {
  local tool=$1 src=$2
  if (( RC != 0 )); then
    echo "  !! $tool failed (status $RC); last output:" >&2; tail -n 5 "$LOG" | sed 's/^/     /' >&2
    echo -
  elif [[ $VERIFY == 1 ]]; then
    if "$PYTHON" "$HELPER" verify "$src" "$DST_LOCAL" --content; then echo ok
    else echo "  !! $tool: destination differs from the source" >&2; echo FAIL; fi
  else
    echo -
  fi
}

run_scenario() {
  local fs=$1 id=$2
  local src=$SRC_ROOT/src-${SC_DATA[$id]}
  local -A fn=([ours]=ours [base]=base [cp]=${SC_CP[$id]} [rsync]=${SC_RSYNC[$id]}) failed=()
  local tools=("${PROGRAM_TOOLS[@]}" cp) tool r verified line rounds=$ROUNDS warmup=1
  [[ ${SC_RSYNC[$id]} == - ]] || tools+=(rsync)
  # On the share a run takes tens of seconds and nothing is cold after it:
  # no warm-up, and the first timed run's copy is the one checked.
  if [[ $fs == share ]]; then rounds=$SHARE_ROUNDS warmup=0; fi
  CUR_MODE=${SC_MODE[$id]}
  say "[$fs] scenario $id ${SC_NAME[$id]}: ${SC_DESC[$id]}"
  if (( warmup )); then
    for tool in "${tools[@]}"; do
      prepare_dst "$id" "$src"
      time_cmd "${fn[$tool]}" "$src" "$DST"
      verified=$(check_copy "$tool" "$src")
      (( RC == 0 )) || failed[$tool]=1
      restore_src "$id" "$src"
      printf '%s\t%s\t%s\twarmup\t0\t%s\t%s\t%s\n' "$fs" "$id" "$tool" "$(fmt_us "$ELAPSED_US")" "$RC" "$verified" >>"$RESULTS"
      printf '  warm-up %-6s %.3fs  copy check: %s\n' "$tool" "$(fmt_us "$ELAPSED_US")" "$verified"
    done
  fi
  for (( r = 1; r <= rounds; r++ )); do
    line="  round $r/$rounds:"
    for tool in "${tools[@]}"; do
      [[ -n ${failed[$tool]:-} ]] && continue
      prepare_dst "$id" "$src"
      time_cmd "${fn[$tool]}" "$src" "$DST"
      verified=-
      if (( ! warmup && r == 1 )); then verified=$(check_copy "$tool" "$src"); fi
      restore_src "$id" "$src"
      printf '%s\t%s\t%s\tround\t%s\t%s\t%s\t%s\n' "$fs" "$id" "$tool" "$r" "$(fmt_us "$ELAPSED_US")" "$RC" "$verified" >>"$RESULTS"
      line+=$(printf ' %s %.3fs' "$tool" "$(fmt_us "$ELAPSED_US")")
      [[ $verified == - ]] || line+="($verified)"
      (( RC == 0 )) || { line+="(status $RC)"; failed[$tool]=1; }
    done
    echo "$line"
  done
  rm -rf --one-file-system "$DST_LOCAL"
  DST= DST_LOCAL=
}

say "Tarvenix benchmark: driver $DRIVER${DRIVER_EXTRA[*]:+ ${DRIVER_EXTRA[*]}}, $ROUNDS rounds, scenarios ${SELECTED[*]}, file systems ${FS_LIST[*]}$([[ $QUICK == 1 ]] && echo ', QUICK data')"
say "temporary folder $WORK"
mkdir -p "$(dirname "$RESULTS_MD")"
ran_any=0
for fs in "${FS_LIST[@]}"; do
  say "[$fs] setting up"
  CUR_FS=$fs
  if ! "setup_$fs"; then teardown_fs; MOUNTS=() IMAGES=() EXTRA_DIRS=(); continue; fi
  NEWER_LIST=$WORK/newer-$fs.list
  if [[ $fs == share ]]; then
    SRC_ROOT=$SHARE_SRC_ROOT
    say "[$fs] generating small-file tree"
    "$PYTHON" "$HELPER" gen-small "$SRC_ROOT/src-share" "$SHARE_FILES" "$SHARE_FOLDERS" "$SMALL_DEPTH" "$NEWER_LIST"
    "$PYTHON" "$HELPER" gen-small "$SRC_ROOT/src-share1" "$SHARE_FOLDER_FILES" 1 1 "$WORK/newer-share1.list"
    run_ids=("${SHARE_SCENARIOS[@]}")
  else
    SRC_ROOT=$FSROOT
    run_ids=()
    for id in "${SELECTED[@]}"; do [[ ${SC_DATA[$id]} == share ]] || run_ids+=("$id"); done
    if (( NEED_SMALL )); then
      say "[$fs] generating small-file tree"
      "$PYTHON" "$HELPER" gen-small "$FSROOT/src-small" "$SMALL_FILES" "$SMALL_FOLDERS" "$SMALL_DEPTH" "$NEWER_LIST"
    fi
    if (( NEED_LARGE )); then
      say "[$fs] generating large files"
      "$PYTHON" "$HELPER" gen-large "$FSROOT/src-large" "$LARGE_FILES" $(( LARGE_MB * MIB ))
    fi
  fi
  sync -f "$SRC_ROOT"
  FSDESC+="; load average $(cut -d' ' -f1-3 /proc/loadavg) when its runs began"
  printf '%s\t%s\n' "$fs" "$FSDESC" >>"$FSINFO"
  for id in "${run_ids[@]}"; do run_scenario "$fs" "$id"; done
  report --fs "$fs"
  report --md "$RESULTS_MD"
  ran_any=1
  say "[$fs] done, cleaning up"
  teardown_fs
  MOUNTS=() IMAGES=() EXTRA_DIRS=()
done

(( ran_any )) || die "no file system could be benchmarked (see the SKIP messages above)"
printf 'Load average at the end\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$META"
report --md "$RESULTS_MD"
echo
echo "Peer commands (every one followed by the same flush the driver does, timed together):"
for id in "${SELECTED[@]}"; do
  printf '  %s %-16s cp: %-38s rsync: %s\n' "$id" "${SC_NAME[$id]}" "${CMD_TEXT[${SC_CP[$id]}]}" "${CMD_TEXT[${SC_RSYNC[$id]}]}"
done
say "Markdown results written to $RESULTS_MD"
if awk -F'\t' '$7 != "0" || $8 == "FAIL" { bad = 1 } END { exit !bad }' "$RESULTS"; then
  die "some runs failed or produced a wrong copy (see the tables above)"
fi
