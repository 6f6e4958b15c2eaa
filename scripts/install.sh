#!/usr/bin/env bash
# Installs Tarvenix for the current user: the program gets a folder of its own
# (it keeps system.dat and history.txt beside its executable), a menu entry,
# and, with --autostart, an entry that starts it with the desktop session.
#   scripts/install.sh BUILD_DIR [--autostart]
#   scripts/install.sh --uninstall
set -euo pipefail

prefix="${XDG_DATA_HOME:-$HOME/.local/share}"
app_dir="$HOME/.local/lib/tarvenix"
menu_file="$prefix/applications/tarvenix.desktop"
autostart_file="${XDG_CONFIG_HOME:-$HOME/.config}/autostart/tarvenix.desktop"
icon_file="$prefix/icons/hicolor/64x64/apps/tarvenix.png"

if [ "${1:-}" = "--uninstall" ]; then
    # The settings and the history stay: they are the user's.
    rm -f "$app_dir/tarvenix" "$app_dir/Tarvenix7.chm" "$menu_file" "$autostart_file" "$icon_file"
    echo "Removed Tarvenix (settings and history kept in $app_dir)."
    exit 0
fi

build_dir="${1:?usage: scripts/install.sh BUILD_DIR [--autostart]}"
autostart="${2:-}"
here="$(cd "$(dirname "$0")/.." && pwd)"

install -d "$app_dir" "$(dirname "$menu_file")" "$(dirname "$icon_file")"
install -m 0755 "$build_dir/app/tarvenix" "$app_dir/tarvenix"
if [ -f "$build_dir/app/Tarvenix7.chm" ]; then
    install -m 0644 "$build_dir/app/Tarvenix7.chm" "$app_dir/Tarvenix7.chm"
fi
install -m 0644 "$here/src/app/qt/resources/tarvenix-64.png" "$icon_file"

write_entry() {
    cat > "$1" <<ENTRY
[Desktop Entry]
Type=Application
Name=Tarvenix
Comment=フォルダのバックアップ
TryExec=$app_dir/tarvenix
Exec=$app_dir/tarvenix
Icon=tarvenix
Terminal=false
Categories=Utility;Archiving;
ENTRY
}
write_entry "$menu_file"
if [ "$autostart" = "--autostart" ]; then
    install -d "$(dirname "$autostart_file")"
    write_entry "$autostart_file"
    echo "X-GNOME-Autostart-enabled=true" >> "$autostart_file"
fi
echo "Installed Tarvenix in $app_dir"
