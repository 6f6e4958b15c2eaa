# Sourced by the end-to-end scripts. e2e_begin PROGRAM_FOLDER: a temporary
# $work (removed on exit with the program $pid and the wine processes of a
# prefix in it) holding the $program folder and its $history.
e2e_begin() {
    case_name="" pid=""
    work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-e2e-XXXXXX")"
    program="$work/$1"
    history="$program/history.txt"
    trap e2e_cleanup EXIT
}
e2e_cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    [[ "${WINEPREFIX:-}" != "$work"/* ]] || end_wine
    wait
    rm -rf --one-file-system "$work"
}
# The Windows programs run on wine's virtual desktop (800 x 600, with a taskbar
# and its notification area); `explorer` returns once the program started.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
on_desktop() { "$wine_run" explorer /desktop=shell,800x600 "$@"; }
# start_on_desktop PROGRAM [ARGS...]: the first program on the desktop, in the
# background, once the desktop is up: the explorer that makes the desktop stays
# with it, so one started later by on_desktop would otherwise wait for ever.
start_on_desktop() {
    on_desktop "$@" > "$work/desktop.log" 2>&1 &
    timeout 60 xdotool search --sync --name '^shell - Wine desktop$' > /dev/null ||
        fail "wine's desktop did not come up"
}
# probe ARGS...: what $window_probe (tests/app/win32/window_probe.cpp) reads
# from the windows on the desktop.
probe() {
    rm -f "$work/probe.txt"
    on_desktop "$(winpath "$window_probe")" "$(winpath "$work/probe.txt")" "$@" > /dev/null 2>&1
    for _ in $(seq 1 300); do
        [ -f "$work/probe.txt" ] && break
        sleep 0.1
    done
    cat "$work/probe.txt" 2> /dev/null || echo "<no answer>"
}
# Ends the wine processes of $WINEPREFIX and nothing else.
end_wine() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

fail() {
    echo "$(basename "$0")${case_name:+ ($case_name)}: $*" >&2
    echo "--- history.txt:" >&2
    iconv -f CP932 -t UTF-8 "$history" >&2 2>/dev/null || true
    echo "--- output:" >&2
    cat "$work/out.log" >&2 2>/dev/null || true
    exit 1
}

# wait_for PATTERN TENTHS: up to TENTHS tenths of a second for such a history line.
wait_for() {
    for _ in $(seq 1 "$2"); do
        grep -q -- "$1" "$history" 2>/dev/null && return 0
        [ -z "$pid" ] || kill -0 "$pid" 2>/dev/null || fail "the program ended on its own"
        sleep 0.1
    done
    return 1
}

# Sends SIGTERM to the program $pid and expects it to end by itself, with status 0.
terminate() {
    kill -TERM "$pid"
    timeout 30 tail --pid="$pid" -s 0.1 -f /dev/null || fail "still running 30 seconds after SIGTERM"
    wait "$pid" || fail "exit status $? after SIGTERM"
    pid=""
}

# expect_history LINE...: the history's tags and triggers (the copy failure's
# file name left out); each line "yyyy/MM/dd H:mm:ss [" ... CR LF.
expect_history() {
    local IFS='|' actual
    actual="$(iconv -f CP932 -t UTF-8 "$history" | cut -d' ' -f3- | tr -d '\r' |
        sed -E 's/(ファイルをコピーできません！).*/\1/' | paste -sd'|')" || true
    [ "$actual" = "$*" ] || fail "history lines differ: $actual"
    ! LC_ALL=C grep -qvE $'^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{1,2}:[0-9]{2}:[0-9]{2} \\[.*\r$' \
        "$history" || fail "a history line is not 'yyyy/MM/dd H:mm:ss [...]' ending in CR LF"
}

# write_system_dat COPY_MODE START_AT_LAUNCH BACKUP_AT_CLOSE SOURCE DESTINATION [HH MM]:
# 47 records of 160 bytes, values in code page 932 padded with spaces; with
# HH and MM the daily start is on at that first start time.
write_system_dat() {
    record() { { printf '%s' "$1" | iconv -f UTF-8 -t CP932; printf '%160s' ''; } | head -c 160; }
    records() { for _ in $(seq 1 "$1"); do record "$2"; done; }
    {
        record "$1"; record "$2"; record "$3"; record $(( $# > 5 )); record 0; record 1  # options
        records 3 False                                    # shut-down flags
        record "${6:-}"; records 2 ""; record "${7:-}"; records 2 ""  # start times
        record "$4"; records 7 ""; record "$5"; records 7 ""  # sources, destinations
        records 8 1; records 8 0                            # sub-folders, skip
    } > "$program/system.dat"
    [ "$(stat -c %s "$program/system.dat")" -eq 7520 ] || fail "system.dat is not 7520 bytes"
}
