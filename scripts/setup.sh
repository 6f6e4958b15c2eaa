#!/usr/bin/env bash
# Installs the Debian packages the project needs when they are missing.
# Safe to run again: it installs nothing that is already there.
#   scripts/setup.sh            what building and testing need
#   scripts/setup.sh --desktop  and what running the program on a desktop needs
set -euo pipefail

packages=(
    build-essential cmake g++ pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev clang-format
    util-linux e2fsprogs xfsprogs rsync
    dosfstools fusefat exfatprogs exfat-fuse ntfs-3g python3-fusepy fuse3 sshfs openssh-sftp-server
    fp-utils
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev libx11-dev
    fonts-ipafont-gothic
    xvfb xauth imagemagick xdotool openbox x11-utils trayer xfce4-panel
    qt6-wayland weston dbus-daemon python3-dbus python3-gi
    g++-mingw-w64-x86-64-posix wine64 wine locales nsis
    dpkg-dev python3 lintian appstream desktop-file-utils debootstrap
)
if [ "${1:-}" = "--desktop" ]; then
    packages+=(fonts-noto-cjk xdg-utils)
fi

missing_from() {
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            echo "$p"
        fi
    done
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
updated=""
install_packages() {
    [ $# -gt 0 ] || return 0
    echo "Installing: $*"
    export DEBIAN_FRONTEND=noninteractive
    if [ -z "$updated" ]; then
        $sudo apt-get update -qq
        updated=1
    fi
    $sudo apt-get install -y -qq --no-install-recommends "$@"
}

mapfile -t missing < <(missing_from "${packages[@]}")
install_packages "${missing[@]}"

# The Windows program's tests run under wine in the Japanese locale.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# The help file needs a viewer; xchm when the desktop has none for .chm files.
if [ "${1:-}" = "--desktop" ] && [ -z "$(xdg-mime query default application/vnd.ms-htmlhelp 2>/dev/null)" ]; then
    mapfile -t missing < <(missing_from xchm)
    install_packages "${missing[@]}"
fi
