#!/usr/bin/env bash
# Runs a test program as a user's desktop would show it: on a private X
# server (Xvfb) with a window manager (openbox), on Qt's xcb platform, with a
# session bus of its own (dbus-daemon) where the desktop's would be.
#   under_x11.sh PROGRAM [ARGS...]
set -euo pipefail

# Xvfb picks a free display itself and says which (-displayfd): two of these
# started at once (parallel test runs, another checkout) never share one, as
# they can with xvfb-run's guess.
tmp="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-x11-XXXXXX")"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$tmp/display" 2> /dev/null &
server=$!
trap 'kill $wm $bus "$server" 2> /dev/null || true; rm -rf "$tmp"' EXIT
wm=""
bus=""
for _ in $(seq 1 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
done
[ -s "$tmp/display" ] || { echo "under_x11.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$tmp/display")"
unset XAUTHORITY
openbox --sm-disable > /dev/null 2>&1 &
wm=$!
# The window manager is up once it has named itself on the root window.
for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
    sleep 0.1
done
# The tests never reach the user's own session bus: a private one, or none.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/bus"
bus="$(dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid 2> /dev/null || true)"
unset QT_QPA_PLATFORMTHEME
QT_QPA_PLATFORM=xcb "$@"
