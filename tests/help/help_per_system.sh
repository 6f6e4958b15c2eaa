#!/usr/bin/env bash
# Each program's help describes that program: the Windows help holds no page
# or word about Linux, the Linux help sends no one to the Windows installer,
# drive letters or PowerShell; each keeps its own notes page.
#   help_per_system.sh HELP_FOLDER
set -euo pipefail
help="${1:?usage: help_per_system.sh HELP_FOLDER}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-help-XXXXXX")"
trap 'rm -rf "$work"' EXIT
status=0
check() {  # check SYSTEM OWN_PAGE WORDS_OF_THE_OTHER_SYSTEM
    sh "$help/build_help.sh" --sources "$work/$1" "$1" > /dev/null || status=1
    [ -f "$work/$1/html/$2" ] || { echo "the $1 help has no html/$2" >&2; status=1; }
    if grep -rniE "$3" "$work/$1" --include='*.html' --include='*.hh?'; then
        echo "the $1 help speaks of the other system (above)" >&2
        status=1
    fi
}
check windows windows.html 'linux|xchm|/home/|systemd|flock'
check linux linux.html 'windows\.html|インストーラ|アンインストール|[A-Z]:\\|PowerShell'
[ $status -ne 0 ] || echo "help_per_system: 1 passed, 0 failed"
exit $status
