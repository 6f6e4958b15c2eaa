#!/usr/bin/env bash
# Runs a Windows test program under wine on a private X server, with a wine
# prefix of its own (beside the build's shared one). The prefix's wineserver
# is ended before and after: a wineserver left from an earlier run would
# still belong to that run's (gone) X display, and windows made through it
# would never appear.
#   on_own_display.sh PREFIX WINE_RUN PROGRAM [ARGS...]
set -euo pipefail
export WINEPREFIX="${1:?usage: on_own_display.sh PREFIX WINE_RUN PROGRAM}"
shift
wineserver -k 2> /dev/null || true
wineserver -w 2> /dev/null || true
status=0
xvfb-run -a "$@" || status=$?
wineserver -k 2> /dev/null || true
wineserver -w 2> /dev/null || true
exit "$status"
