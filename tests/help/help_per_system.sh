#!/usr/bin/env bash
# Each program's help describes that program: its own notes page, and not a
# word of the other system's (Linux, xchm, /home, signals in the Windows help;
# the installer, drive letters, PowerShell in the Linux help).
#   help_per_system.sh HELP_FOLDER
set -euo pipefail
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-help-XXXXXX")"
trap 'rm -rf "$work"' EXIT
for case in 'windows|linux|xchm|/home/|systemd|flock|SIGTERM|シグナル' 'linux|windows\.html|インストーラ|[A-Z]:\\|PowerShell'; do
    system="${case%%|*}"
    sh "${1:?usage: help_per_system.sh HELP_FOLDER}/build_help.sh" --sources "$work/$system" "$system" > /dev/null
    [ -f "$work/$system/html/$system.html" ] || { echo "the $system help has no $system.html" >&2; exit 1; }
    ! grep -rniE "${case#*|}" "$work/$system" --include='*.html' --include='*.hh?' ||
        { echo "the $system help speaks of the other system (above)" >&2; exit 1; }
done
echo "help_per_system: 1 passed, 0 failed"
