#!/usr/bin/env bash
# Runs a Windows program under wine the way the tests need it:
#   cmake/wine-run.sh program.exe [arguments...]
# - a wine prefix of its own (WINEPREFIX, default: wine-prefix beside the
#   program's build tree), never the user's ~/.wine;
# - the Japanese locale, so the program sees code page 932 (GetACP) and a
#   ja-JP user locale, as on a Japanese Windows;
# - wine's own messages and its helper processes' output go to a log file:
#   wineserver and services.exe outlive the program and would keep ctest's
#   output pipe open for ever.
# The program's own standard output and error pass through; its exit status
# is this script's.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi

here="$(cd "$(dirname "$0")" && pwd)"
program="$1"
shift

if [ -z "${WINEPREFIX:-}" ]; then
    # The build folder is the nearest folder above the program that holds
    # CMakeCache.txt.
    dir="$(cd "$(dirname "$program")" && pwd)"
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir="$(dirname "$dir")"
    done
    if [ "$dir" = "/" ]; then
        dir="${TMPDIR:-/tmp}/tarvenix-wine-$(id -u)"
    fi
    export WINEPREFIX="$dir/wine-prefix"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Without the generated locale wine claims code page 932 but mangles
# Japanese file names.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    if command -v localedef >/dev/null; then
        localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null ||
            sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
    fi
fi
export LANG=ja_JP.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE


wine_bin="$(command -v wine64 || command -v wine)"
log="$WINEPREFIX.log"

# The first run creates the prefix; several tests may start at once, so one
# of them does it under a lock and the others wait for it.
if [ ! -f "$WINEPREFIX/.tarvenix-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/.tarvenix-ready" ]; then
        "$wine_bin" wineboot -i >>"$log" 2>&1 </dev/null
        "$here/wine-prefix-setup.sh" "$wine_bin" >>"$log" 2>&1 </dev/null
        touch "$WINEPREFIX/.tarvenix-ready"
    fi
    exec 9>&-
fi

# The program's output goes through files, not straight through: whatever
# wine starts beside the program inherits the descriptors it is given, and
# only the program's own process ends when the test ends.
out="$(mktemp "${TMPDIR:-/tmp}/wine-run-out.XXXXXX")"
err="$(mktemp "${TMPDIR:-/tmp}/wine-run-err.XXXXXX")"
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine_bin" "$program" "$@" >"$out" 2>"$err" </dev/null || status=$?
cat "$out"
# wine prints its own complaints on the same error stream; keep them in the log.
grep -v '^[0-9a-f]\{4\}:\(err\|fixme\|warn\):' "$err" >&2 || true
grep '^[0-9a-f]\{4\}:\(err\|fixme\|warn\):' "$err" >>"$log" || true
exit "$status"
