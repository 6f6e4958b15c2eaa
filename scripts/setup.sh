#!/usr/bin/env bash
# Installs the Debian packages the project needs when they are missing.
# Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(
    build-essential cmake g++ pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev
    fp-utils
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
    fonts-ipafont-gothic fonts-noto-cjk
    xvfb xauth imagemagick
    util-linux e2fsprogs rsync
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
