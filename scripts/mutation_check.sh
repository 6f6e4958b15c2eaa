#!/usr/bin/env bash
# Breaks the program on purpose, one small edit at a time, and records which
# tests notice. A break no test notices is a fault the tests would let through.
#
#   scripts/mutation_check.sh                 every break, all tests
#   scripts/mutation_check.sh --list          the table of breaks
#   scripts/mutation_check.sh --only E1,H2    some breaks only
#   scripts/mutation_check.sh -R 'History|Engine'   a ctest subset for each break
#
# Options:
#   --list             print the table and exit
#   --check            check every snippet against the code and exit
#   --diff             with --check: show each break as a diff
#   --only IDS         comma-separated break ids (may be given more than once)
#   -R, --tests REGEX  run only the ctest tests matching REGEX
#   --build DIR        build folder (default: build-mutants in the tree)
#   --timeout SEC      ctest's timeout for a test without one of its own (default 120)
#   --no-baseline      do not run the tests on the unbroken code first
#   --ctest-jobs N     tests run at once (default 1)
#
# Each break is applied in place to one source file, kept as a backup copy
# outside the tree and copied back after the break's test run, and always on
# exit (a trap). The build folder is built incrementally with warnings not
# treated as errors, so a break that only draws a warning still builds.
# Tests failing on the unbroken code do not count as catching a break.
# Results: <build>/mutation_results.tsv. Exit status: 0 when every break was
# caught, 1 when some were not, 2 on a usage or table error, 3 when the
# source tree is left different from how it was found.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build-mutants
TESTS_REGEX=""
TIMEOUT=120
BASELINE=1
CTEST_JOBS=1
LIST=0
CHECK_ONLY=0
SHOW_DIFF=0
ONLY=""

# id | file | original snippet | broken replacement | what it simulates
# "@NL@" stands for a line break inside a snippet. Each original snippet must
# occur exactly once in its file, or the run stops: the table cannot go stale
# without notice.
TABLE=$(
    cat <<'EOF'
P1|src/common/platform/copy.cpp|    file_.reset();@NL@    return renamed;|    file_.reset();@NL@    return {};|platform: a failed rename of a staged copy reported as done
P2|src/common/posix/locks_posix.cpp|    if (::flock(fd, LOCK_EX \| LOCK_NB) != 0) {@NL@        return errno == EWOULDBLOCK;|    if (::flock(fd, LOCK_UN) != 0) {@NL@        return errno == EWOULDBLOCK;|platform: the flock() lock family not probed when looking for a locked source
P3|src/common/posix/files_posix.cpp|name[0] == '.'});|name[0] == '.' \&\& name[1] != '.'});|platform: hidden-name rule inverted for names starting with ".."
C1|src/common/time_text.cpp|"%02lld:%02lld:%02lld"|"%lld:%02lld:%02lld"|common: clock text without zero padding of the hour
C2|src/common/toolbox_ports.cpp|    {Boxes::kOkc, 32, "確認", 33},|    {Boxes::kOkc, 32, "確認", 35},|common: Msg_Box kind "okc" mapped to Yes/No/Cancel buttons
C3|src/common/text_codec.cpp|        total += bytes ? bytes->size() : unit.size();|        total += unit.size();|common: LenByte counts UTF-8 bytes instead of code-page bytes
S1|src/settings/settings_store.cpp|                              : *number == 1 ? OpenFileRule::skip|                              : t == "1" ? OpenFileRule::skip|settings: the open-file rule read as the text "1" (a stored " 01" copies files in use)
S2|src/settings/settings_record_file.cpp|    if (n < 1 \|\| n > SettingsRecordFile::kRecordCount) {|    if (n < 1 \|\| n >= SettingsRecordFile::kRecordCount) {|settings: last record number (47) refused as out of range
H1|src/history/history_log.cpp|        case history_kind::kSuccess:@NL@            return "[Success]";|        case history_kind::kSuccess:@NL@            return "[Succes]";|history: misspelt success tag
H2|src/history/history_log.cpp|        case run_trigger::kProgramStart:@NL@            return "[Prg open]";|        case run_trigger::kProgramStart:@NL@            return "[Prg close]";|history: program-start trigger written as the close trigger
H3|src/history/history_log.cpp|kind, trigger, text)) + "\r\n";|kind, trigger, text)) + "\n";|history: lines end in LF instead of CR LF
H4|src/history/history_log.cpp|        if (byte < 0x20 \|\| byte == 0x7F \|\| ch == '^') {|        if ((byte < 0x20 \&\& ch != '\n') \|\| byte == 0x7F \|\| ch == '^') {|history: a line feed in a name not escaped (starts a line of its own)
E1|src/engine/copy_stage.cpp|in_steps(src.mtime_sec) <= in_steps(dst.mtime_sec);|in_steps(src.mtime_sec) < in_steps(dst.mtime_sec);|engine: newer-only copies a file as old as its copy (>= instead of >)
E2|src/engine/backup_engine.cpp|    if (skip_mode) {@NL@        record_skipped(dst_path, why, error);@NL@        return;|    if (skip_mode) {@NL@        return;|engine: the skip line for a locked file not written to the history
E3|src/engine/backup_engine.cpp|    if (text::cp932_length(job.src_path) > kPathByteLimit) {@NL@        too_long(false, job.src_path);|    if (text::cp932_length(job.src_path) >= kPathByteLimit) {@NL@        too_long(false, job.src_path);|engine: off by one in the 254-byte path rule for files
E4|src/engine/backup_engine.cpp|    abort_requested = 0;@NL@    s_.report.run_started(run_trigger);|    s_.report.run_started(run_trigger);|engine: the stop flag not cleared when a run starts
E5|src/engine/backup_engine.cpp|            if (const auto renamed = work->copies[i].commit(); !renamed) {|            if (const auto renamed = work->copies[i].commit(); renamed.error() < 0) {|engine: a failed rename of a batch ignored (checked for -1, errors are positive)
E6|src/engine/backup_engine.cpp|    finish_copies();@NL@    remove_staging_folders();@NL@    if (!share_hung_) {@NL@        restore_folder_modes();@NL@    }|    if (!share_hung_) {@NL@        restore_folder_modes();@NL@    }@NL@    finish_copies();@NL@    remove_staging_folders();|engine: folder permission bits applied before its files are renamed in
E7|src/engine/backup_engine.cpp|                work->flush_error = folder->folder.sync_file_system().error();|                work->flush_error = 0;|engine: the flush skipped before a batch rename
E8|src/engine/backup_engine.cpp|? std::min(kBatchFolders, available - kUnbatchedDescriptors)|? kBatchFolders|engine: a batch no longer bounded by the descriptors left (the retry after running out hides it)
E9|src/engine/backup_engine.cpp|bytes % 1000 >= 500 ? 1 : 0|bytes % 1000 > 500 ? 1 : 0|engine: a size of exactly 500 bytes rounded down in the progress dialog's size label
E10|src/engine/backup_engine.cpp|    if (!batch_.empty() \&\& !telling_batch_) {|    if (false) {|engine: a skip line told as soon as its file fails, ahead of files of a batch still waiting for their rename
E11|src/engine/backup_engine.cpp|    remove_staging_folders();@NL@    if (!share_hung_) {|    if (!share_hung_) {|engine: a set's staging folders on a share left behind at its end
E12|src/common/posix/locks_posix.cpp|                remove_staging_folder_at(folder_, name);|                (void)name;|platform: a dead run's staging folder never removed
E13|src/engine/backup_engine.cpp|            answered(on_share_, [dst = current_dst_, name, mode, fresh = visit.fresh] {|            answered(false, [dst = current_dst_, name, mode, fresh = visit.fresh] {|engine: the walk makes a folder on a share itself, where a server that stops answering holds the window
E14|src/engine/backup_engine.cpp|    // and none is renamed after it.@NL@    end_commit();|    // and none is renamed after it.|engine: copying anyway, the box of a failed copy shown while the batch before it is still renamed beside the walk
E15|src/engine/backup_engine.cpp|        line.before -= committing_;|        (void)line;|engine: the lines waiting for a batch counted from the batch before it once that one was committed beside the walk
E16|src/engine/backup_engine.cpp|        return ahead->status[entry_index_];|        return ahead->status[ahead->ready.load() - 1];|engine: newer-only, the old copy read ahead for another entry of the folder taken for the entry being walked
E17|src/engine/copy_stage.cpp|                if (own \&\& own->sync_file_system()) {|                if (own \&\& own->sync_file_system() \&\& taken == 0) {|engine: a worker's flush between a large file's chunks not counted for the destination's speed, so the copies in flight flush every few megabytes
E18|src/engine/copy_stage.cpp|                const auto own = job.dst->folder.open_below("");|                const auto* own = \&job.dst->folder;|engine: a worker's flush through the destination's own handle takes the disk's write error from the batch's commit, which then renames copies the disk refused
E19|src/engine/backup_engine.cpp|    src_on_share_ = source \&\& source->on_share;|    src_on_share_ = false;|engine: a source on a share listed and opened by the walk itself on the user-interface thread, so a server that stops answering holds the window
E20|src/engine/backup_engine.cpp|std::optional((*visit.examined)[entry_index_])|std::optional((*visit.examined).front())|engine: newer-only from a share, the status examined with the listing for another entry taken for the entry being walked
E21|src/engine/backup_engine.cpp|    stage.set_silence_bound(silence_seconds_);|    stage.set_silence_bound(0);|engine: a run whose share gave no sign of life waits for it for ever (no stop asked: an unattended night's run never ends)
E22|src/engine/backup_engine.cpp|    note_silence(lane == CopyStage::Lane::kSource);|    note_silence(false);|engine: a source share that fell silent named as the missing destination
E23|src/engine/backup_engine.cpp|    const bool in_place = on_share_ \&\& fresh \&\& entries.size() <= kInPlaceFolderFiles;|    const bool in_place = on_share_ \&\& entries.size() <= kInPlaceFolderFiles;|engine: on a share, copies into a folder that holds old copies renamed over them by their workers, past the batch's flush order and the copy-anyway box
E24|src/engine/copy_stage.cpp|            self->count_in_place(*slot, false);|            (void)0;|engine: a folder's copies made in place never counted as ended, so its later files wait for a worker for ever
E25|src/engine/backup_engine.cpp|    const bool in_place = on_share_ \&\& fresh \&\& entries.size() <= kInPlaceFolderFiles;|    const bool in_place = false;|engine: small folders made on a share copied one after the other, each waiting for the last one's turn at the share
A1|src/settings/settings_model.h|    int second_of_day() const { return hour * 3600 + minute * 60; }|    int second_of_day() const { return hour * 3600 + minute * 60 + 1; }|app/core: the scheduler fires at second 01
A5|src/app/core/scheduler.cpp|    // Somebody has just woken the computer: a late run never shuts it down.@NL@    s_.engine.run_backup(run_trigger::kTimer);|    run_on_time(missed.back().slot);|app/core: a late run shuts the computer down
A6|src/app/core/scheduler.cpp|    return turn \&\& turn->first == day_of(due.at) \&\&|    return turn \&\& turn->first == day_of(due.at) + 1 \&\&|app/core: a clock set back runs a start time twice a day
A7|src/app/core/file_locations.cpp|    if (platform::folder_writable(program_folder) \&\&|    if (exists(program_folder) \&\&|app/core: the settings folder chosen by whether the program folder exists, not whether the user may write it
A8|src/app/core/scheduler.cpp|    if (elapsed > kLongGapSeconds) {|    if (elapsed >= kLongGapSeconds) {|app/core: ticks exactly 60 s apart across a start time taken for a gap (a late run, no shut-down)
A9|src/app/core/settings_editor.cpp|        return asker_.ask(s_.clock, s_.pump, kFolderAnswerSeconds, std::move(call));|        return std::optional(call());|app/core: the save looks at the folders on the user-interface thread, so a share that stops answering holds the window
A2|src/app/core/settings_editor.cpp|    if (!value \|\| *value > (hour ? 23 : 59) \|\| *value < 0) {|    if (!value \|\| *value > (hour ? 24 : 59) \|\| *value < 0) {|app/core: the hour box accepts 24
A3|src/app/core/settings_editor.cpp|        return text::char_count(folder) > SettingsRecordFile::kFieldChars;|        return text::char_count(folder) > SettingsRecordFile::kFieldChars + 1;|app/core: 80-character folder limit off by one (81 accepted)
A4|src/app/core/no_click_boxes.cpp|    if (no_click_) {@NL@        return record(caption, text, style);|    if (no_click_ \&\& open_boxes_ < 0) {@NL@        return record(caption, text, style);|app/core: boxes still shown once the program answers without clicks
Q1|src/app/qt/qt_ports.cpp|            return {B::Ok \| B::Cancel, B::Ok, B::Cancel};|            return {B::Ok \| B::Cancel, B::Cancel, B::Cancel};|qt: OK/Cancel box with Cancel as its default button
Q2|src/app/qt/qt_ports.cpp|            return {B::Yes \| B::No, B::Yes, B::NoButton};|            return {B::Yes \| B::No, B::Yes, B::No};|qt: Yes/No box dismissable with Escape
EOF
)

usage() { sed -n '2,28p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --list) LIST=1 ;;
        --check) CHECK_ONLY=1 ;;
        --diff) SHOW_DIFF=1 ;;
        --only) ONLY="$ONLY,$2"; shift ;;
        -R | --tests) TESTS_REGEX=$2; shift ;;
        --build) BUILD=$(realpath -m "$2"); shift ;;
        --timeout) TIMEOUT=$2; shift ;;
        --no-baseline) BASELINE=0 ;;
        --ctest-jobs) CTEST_JOBS=$2; shift ;;
        -h | --help) usage; exit 0 ;;
        *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
    shift
done

# Fields are split on "|" not preceded by a backslash; "\|" and "\&" in a
# snippet stand for "|" and "&".
declare -a IDS FILES OLDS NEWS DESCS
while IFS= read -r line; do
    [[ -z $line ]] && continue
    mapfile -t fields < <(python3 -c '
import re, sys
for f in re.split(r"(?<!\\)\|", sys.argv[1]):
    print(f.replace("\\|", "|").replace("\\&", "&"))' "$line")
    if [[ ${#fields[@]} -ne 5 ]]; then
        echo "table: bad line (${#fields[@]} fields): $line" >&2
        exit 2
    fi
    IDS+=("${fields[0]}")
    FILES+=("${fields[1]}")
    OLDS+=("${fields[2]}")
    NEWS+=("${fields[3]}")
    DESCS+=("${fields[4]}")
done <<<"$TABLE"

if [[ $LIST -eq 1 ]]; then
    for i in "${!IDS[@]}"; do
        printf '%-3s %-42s %s\n' "${IDS[$i]}" "${FILES[$i]}" "${DESCS[$i]}"
    done
    exit 0
fi

selected=()
for i in "${!IDS[@]}"; do
    if [[ -z $ONLY || ",$ONLY," == *",${IDS[$i]},"* ]]; then
        selected+=("$i")
    fi
done
if [[ -n $ONLY ]]; then
    for id in ${ONLY//,/ }; do
        found=0
        for i in "${!IDS[@]}"; do [[ ${IDS[$i]} == "$id" ]] && found=1; done
        if [[ $found -eq 0 ]]; then
            echo "no break with id $id (see --list)" >&2
            exit 2
        fi
    done
fi

# Replaces the one occurrence of a snippet; anything but exactly one
# occurrence stops the run.
replace_once() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1:]
old = old.replace("@NL@", "\n")
new = new.replace("@NL@", "\n")
with open(path, encoding="utf-8", newline="") as f:
    text = f.read()
n = text.count(old)
if n != 1:
    sys.stderr.write(f"{path}: snippet found {n} times, expected once:\n{old}\n")
    sys.exit(1)
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write(text.replace(old, new))
PY
}

tree_state() { git -C "$ROOT" diff HEAD -- src tests | sha1sum; git -C "$ROOT" status --porcelain -- src tests; }
STATE_BEFORE=$(tree_state)

SCRATCH=$(mktemp -d)
CURRENT_FILE=""
restore() {
    if [[ -n $CURRENT_FILE ]]; then
        # A plain copy gives the file a new time, so the next build compiles
        # the restored text again.
        cp "$SCRATCH/backup" "$ROOT/$CURRENT_FILE"
        CURRENT_FILE=""
    fi
}
cleanup() {
    restore
    rm -rf "$SCRATCH"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Before anything is built, every snippet is checked against the tree.
for i in "${selected[@]}"; do
    f=$ROOT/${FILES[$i]}
    if [[ ! -f $f ]]; then
        echo "${IDS[$i]}: no file ${FILES[$i]}" >&2
        exit 2
    fi
    cp "$f" "$SCRATCH/check"
    if ! replace_once "$SCRATCH/check" "${OLDS[$i]}" "${NEWS[$i]}"; then
        echo "${IDS[$i]}: the table no longer matches the code" >&2
        exit 2
    fi
    if [[ $SHOW_DIFF -eq 1 ]]; then
        echo "== ${IDS[$i]}: ${DESCS[$i]}"
        diff -u --label "a/${FILES[$i]}" --label "b/${FILES[$i]}" "$f" "$SCRATCH/check"
    fi
done
if [[ $CHECK_ONLY -eq 1 ]]; then
    echo "${#selected[@]} breaks: every snippet found exactly once"
    exit 0
fi

configure() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVENIX_WERROR=OFF \
        >"$BUILD.configure.log" 2>&1 || {
        echo "configure failed: $BUILD.configure.log" >&2
        exit 2
    }
    mv "$BUILD.configure.log" "$BUILD/configure.log"
}
build() { cmake --build "$BUILD" -j2 >"$1" 2>&1; }

# Runs the tests; prints the names of the failing ones, one a line.
run_tests() {
    local log=$1
    rm -f "$BUILD/Testing/Temporary/LastTestsFailed.log"
    local args=(--test-dir "$BUILD" --timeout "$TIMEOUT" -j "$CTEST_JOBS" --output-on-failure)
    [[ -n $TESTS_REGEX ]] && args+=(-R "$TESTS_REGEX")
    ctest "${args[@]}" >"$log" 2>&1
    if [[ -f $BUILD/Testing/Temporary/LastTestsFailed.log ]]; then
        cut -d: -f2- "$BUILD/Testing/Temporary/LastTestsFailed.log" | sort -u
    fi
}

START=$(date +%s)
mkdir -p "$BUILD"
configure
mkdir -p "$BUILD/mutation-logs"
LOGS=$BUILD/mutation-logs

echo "building the unbroken code in $BUILD ..."
if ! build "$LOGS/baseline-build.log"; then
    echo "the unbroken code does not build: $LOGS/baseline-build.log" >&2
    exit 2
fi
: >"$SCRATCH/baseline-failures"
if [[ $BASELINE -eq 1 ]]; then
    t0=$(date +%s)
    run_tests "$LOGS/baseline-ctest.log" >"$SCRATCH/baseline-failures"
    echo "unbroken code: $(wc -l <"$SCRATCH/baseline-failures") failing test(s), $(($(date +%s) - t0)) s"
    sed 's/^/  already failing (not counted): /' "$SCRATCH/baseline-failures"
fi

# A broken program can make a test write where it never should (a folder
# refused today may be created under a break): new names at the file system
# root are reported, since they would make later breaks look caught.
ls -A / >"$SCRATCH/root-before"

RESULTS=$BUILD/mutation_results.tsv
printf 'id\tfile\tcaught\tfailing_count\tfailing_tests\tseconds\tdescription\n' >"$RESULTS"
passed=0
failed=0
for i in "${selected[@]}"; do
    id=${IDS[$i]}
    file=${FILES[$i]}
    t0=$(date +%s)
    cp "$ROOT/$file" "$SCRATCH/backup"
    CURRENT_FILE=$file
    if ! replace_once "$ROOT/$file" "${OLDS[$i]}" "${NEWS[$i]}"; then
        restore
        exit 2
    fi
    status=""
    names=""
    count=0
    if ! build "$LOGS/$id-build.log"; then
        status="not-compiled"
    else
        run_tests "$LOGS/$id-ctest.log" | grep -vxF -f "$SCRATCH/baseline-failures" >"$SCRATCH/fails" || true
        count=$(grep -c . "$SCRATCH/fails" || true)
        names=$(paste -sd, "$SCRATCH/fails")
        status=$([[ $count -gt 0 ]] && echo yes || echo no)
    fi
    restore
    ls -A / | grep -vxF -f "$SCRATCH/root-before" >"$SCRATCH/root-new" || true
    if [[ -s $SCRATCH/root-new ]]; then
        echo "WARNING: $id left new entries at /: $(paste -sd' ' "$SCRATCH/root-new")" \
            "(remove them before trusting later results)" >&2
        cat "$SCRATCH/root-new" >>"$SCRATCH/root-before"
    fi
    secs=$(($(date +%s) - t0))
    if [[ $status == yes ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$file" "$status" "$count" "$names" "$secs" \
        "${DESCS[$i]}" >>"$RESULTS"
    shown=$names
    [[ ${#shown} -gt 150 ]] && shown="${shown:0:147}..."
    printf '%-3s caught=%-12s %3d  %s\n' "$id" "$status" "$count" "$shown"
done

# The build folder holds the last break's objects: build the unbroken code
# again so it is left as it was found.
build "$LOGS/final-build.log" || echo "warning: rebuilding the unbroken code failed" >&2

echo "$passed passed, $failed failed (passed = breaks caught), $(($(date +%s) - START)) s in all"
echo "results: $RESULTS"

trap - EXIT
cleanup
if [[ $(tree_state) != "$STATE_BEFORE" ]]; then
    echo "ERROR: the source tree differs from how it was found:" >&2
    git -C "$ROOT" status --short -- src tests >&2
    exit 3
fi
[[ $failed -eq 0 ]]
