#!/usr/bin/env bash
# The tray icon on the Xfce panel, whose StatusNotifier tray shows only the
# menu an item publishes (dbusmenu): a right click on the icon in the real
# panel shows the help menu, and its "About" item opens the About window. Run by under_x11.sh (Xvfb, openbox, a private bus).
#   under_x11.sh xfce_panel.sh PATH_TO_TARVENIX
set -euo pipefail
exe="${1:?usage: xfce_panel.sh PATH_TO_TARVENIX}"
command -v xfce4-panel > /dev/null || { echo "xfce_panel.sh: skipped: xfce4-panel is not installed"; exit 77; }
. "$(dirname "$0")/../e2e/common.sh"
e2e_begin program
panel=""
# The settings daemon the bus starts for the panel writes its settings back
# when it ends: it ends before the temporary folder is removed.
end_panel() {
    [ -z "$panel" ] || kill "$panel"
    local xfconfd
    xfconfd="$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus         --method org.freedesktop.DBus.GetConnectionUnixProcessID org.xfce.Xfconf 2> /dev/null |
        grep -o '[0-9]\+' | tail -n 1 || true)"
    [ -z "$xfconfd" ] || { kill "$xfconfd" && timeout 10 tail --pid="$xfconfd" -f /dev/null; } || true
    e2e_cleanup
}
trap end_panel EXIT
# A panel along the top of the screen holding only the tray (no first-start
# question: its settings are there).
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml" "$program"
cat > "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" << 'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
XML
# xfconfd, which the bus starts for the panel, reads the settings from there.
gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.UpdateActivationEnvironment \
    "{'XDG_CONFIG_HOME': '$XDG_CONFIG_HOME', 'XDG_CACHE_HOME': '$XDG_CACHE_HOME'}" > /dev/null
xfce4-panel --disable-wm-check > "$work/panel.log" 2>&1 &
panel=$!
cp "$exe" "$program/tarvenix"
"$program/tarvenix" > "$work/out.log" 2>&1 &
pid=$!
watcher=(--session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher)
item() { gdbus call "${watcher[@]}" --method org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2> /dev/null | grep -o ':[0-9.]*' || true; }
for _ in $(seq 1 300); do [ -z "$(item)" ] || break; sleep 0.1; done
[ -n "$(item)" ] || fail "the icon never reached the panel: $(cat "$work/panel.log")"
# A right click on the icon, in the middle of the tray (the panel's plugin
# window) once the icon is drawn there; the menu the panel shows (a window of
# its own) is driven by its keys: the second item.
tray_geometry() {
    local tray
    tray="$(xwininfo -root -tree | grep -E -m1 '^ {10,}0x[0-9a-f]+ "wrapper-2.0": \(' | awk '{print $1}')"
    [ -n "$tray" ] && xdotool getwindowgeometry --shell "$tray" | tr '\n' ' '
}
for _ in $(seq 1 100); do
    eval "$(tray_geometry)"
    [ "${WIDTH:-1}" -le 1 ] || break
    sleep 0.1
done
[ "${WIDTH:-1}" -gt 1 ] || fail "the panel did not draw the icon"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
timeout 10 xdotool search --sync --onlyvisible --maxdepth 1 --name '^wrapper-2.0$' > /dev/null ||
    fail "no menu shown by the panel"
xdotool key Down Down Return
timeout 10 xdotool search --sync --onlyvisible --name '^TARVENIX' > /dev/null ||
    fail "the menu's About did not open the About window"
terminate
echo "xfce_panel: 1 passed, 0 failed"
