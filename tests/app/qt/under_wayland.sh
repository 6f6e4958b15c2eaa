#!/usr/bin/env bash
# Runs a test program on a headless weston of its own (Qt's wayland platform,
# a private session bus), logging what it asks of the compositor (WAYLAND_DEBUG) to
# $TARVENIX_WAYLAND_LOG; exits 77 (skipped) where weston cannot run.
#   under_wayland.sh PROGRAM [ARGS...]
set -euo pipefail
skip() { echo "under_wayland.sh: skipped: $*" >&2 && exit 77; }
command -v weston > /dev/null || skip "weston is not installed (Debian package weston)"
plugins="$(qtpaths6 --query QT_INSTALL_PLUGINS 2> /dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
[ -e "$plugins/platforms/libqwayland-generic.so" ] ||
    skip "Qt's Wayland plugin is not installed (Debian package qt6-wayland)"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-wayland-XXXXXX")"
compositor="" bus=""
trap 'kill $compositor $bus 2> /dev/null || true; rm -rf "$tmp"' EXIT
export XDG_RUNTIME_DIR="$tmp" WAYLAND_DISPLAY=wayland-test TARVENIX_WAYLAND_LOG="$tmp/requests.log"
weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 --no-config \
    --log="$tmp/weston.log" > /dev/null 2>&1 &
compositor=$!
for _ in $(seq 1 100); do
    [ -S "$tmp/wayland-test" ] || ! kill -0 "$compositor" 2> /dev/null && break
    sleep 0.1
done
[ -S "$tmp/wayland-test" ] || skip "weston did not start: $(tail -n 3 "$tmp/weston.log")"
unset DISPLAY QT_QPA_PLATFORMTHEME
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/bus"
bus="$(dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid 2> /dev/null || true)"
status=0
QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client "$@" 2> "$TARVENIX_WAYLAND_LOG" || status=$?
# The program's own messages, without the protocol log.
grep -v -E '^\[[0-9 .]+\] ' "$TARVENIX_WAYLAND_LOG" >&2 || true
exit "$status"
