#!/usr/bin/env bash
# Runs a test program as a user's desktop would show it: on a private X
# server (Xvfb) with a window manager (openbox), on Qt's xcb platform.
#   under_x11.sh PROGRAM [ARGS...]
set -euo pipefail

if [ -z "${TARVENIX_IN_XVFB:-}" ]; then
    exec env TARVENIX_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
openbox --sm-disable > /dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2> /dev/null || true' EXIT
# The window manager is up once it has named itself on the root window.
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
    sleep 0.1
done
unset QT_QPA_PLATFORMTHEME
QT_QPA_PLATFORM=xcb "$@"
