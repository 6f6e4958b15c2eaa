#!/usr/bin/env bash
# Runs a Windows test program under wine on a private X server, in a wine
# prefix of its own whose wineserver is ended before and after: a wineserver
# left by an earlier run still belongs to that run's (gone) X display, and
# windows made through it never appear.
#   on_own_display.sh PREFIX WINE_RUN PROGRAM [ARGS...]
set -euo pipefail
export WINEPREFIX="${1:?usage: on_own_display.sh PREFIX WINE_RUN PROGRAM [ARGS...]}"
shift
. "$(dirname "$0")/../e2e/common.sh"
trap end_wine EXIT
end_wine
xvfb-run -a "$@"
