#!/usr/bin/env bash
# Tries a Debian package on a fresh Debian 12 without touching this system:
# makes one with debootstrap in a temporary folder (with this system's apt
# sources and the keys they name), installs the package there with apt and
# without its recommendations (so its Depends alone must be enough), runs
# COMMAND on this system with ROOT naming the fresh system's folder (without
# a COMMAND: a shell inside it), and removes it all again. Needs root and a
# Debian 12 source in apt's configuration that can be reached; exits with 77
# when it cannot run here. About 2 minutes.
#   sudo scripts/try_debian_package.sh PACKAGE.deb [COMMAND...]
set -euo pipefail
deb="$(realpath "${1:?usage: try_debian_package.sh PACKAGE.deb [COMMAND...]}")"
shift
cannot() { echo "try_debian_package: cannot run here: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || cannot "it needs root"
for tool in debootstrap unshare wget; do
    command -v "$tool" > /dev/null || cannot "$tool is missing (make setup installs it)"
done
# The mounts belong to a mount namespace of this script's own, so they end
# with it whatever happens; the trap unmounts them before anything is removed.
[ -n "${TRY_IN_NAMESPACE:-}" ] ||
    TRY_IN_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$deb" "$@"
# The URIs of the Debian 12 sources this system's apt is configured with (in
# the folder $1): "deb" entries for bookworm with the main component, from the
# one-line lists and the deb822 .sources files alike. No source is named here.
apt_sources() {
    local f
    for f in "$1"/sources.list "$1"/sources.list.d/*.list "$1"/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        case "$f" in
            *.list) sed -E 's/#.*//; s/\[[^]]*\]//' "$f" |
                awk '$1 == "deb" && $3 == "bookworm" && / main( |$)/ { print $2 }' ;;
            *) awk -v RS= '{
                   n = split($0, line, "\n"); delete v; key = ""
                   for (i = 1; i <= n; ++i) {
                       if (line[i] ~ /^#/) continue
                       if (line[i] ~ /^[ \t]/) { v[key] = v[key] line[i] " "; continue }
                       key = tolower(substr(line[i], 1, index(line[i], ":") - 1))
                       v[key] = " " substr(line[i], index(line[i], ":") + 1) " "
                   }
                   if (v["enabled"] !~ /[Nn]o/ && v["types"] ~ /[ \t]deb[ \t]/ &&
                       v["suites"] ~ /[ \t]bookworm[ \t]/ && v["components"] ~ /[ \t]main[ \t]/) {
                       split(v["uris"], uri, " "); print uri[1]
                   }
               }' "$f" ;;
        esac
    done
}
sources="$(apt_sources /etc/apt)"
mirror="${sources%%$'\n'*}"
[ -n "$mirror" ] || cannot "no Debian 12 source (deb, bookworm, main) in apt's configuration" \
    "(/etc/apt/sources.list, /etc/apt/sources.list.d/*.list and *.sources)"
wget -q -T 20 -O /dev/null "${mirror%/}/dists/bookworm/Release" || cannot "$mirror cannot be reached"

work="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-debian-XXXXXX")"
ROOT="$work/root"
trap 'umount -l "$ROOT/proc" "$ROOT/sys" 2> /dev/null || true; rm -rf --one-file-system "$work"' EXIT
step() {
    "$@" >> "$work/log" 2>&1 && return
    tail -n 20 "$work/log"
    echo "try_debian_package: failed: $*"
    exit 1
}
step debootstrap --variant=minbase bookworm "$ROOT" "$mirror"
rm "$ROOT/etc/apt/sources.list"
cp -a --parents /etc/apt/sources.list* "$ROOT"
for key in $(grep -rhoiE 'signed-by[=:] *[^] ]+' /etc/apt/sources.list* | sed -E 's/.*[=:] *//'); do
    [ ! -f "$key" ] || cp --parents "$key" "$ROOT"
done
# No service of a package starts in there.
printf '#!/bin/sh\nexit 101\n' > "$ROOT/usr/sbin/policy-rc.d"
chmod +x "$ROOT/usr/sbin/policy-rc.d"
mount -t proc proc "$ROOT/proc"
cp "$deb" "$ROOT/tmp/"
step chroot "$ROOT" env DEBIAN_FRONTEND=noninteractive apt-get update
step chroot "$ROOT" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "/tmp/${deb##*/}"
export ROOT
if [ $# -eq 0 ]; then
    chroot "$ROOT" bash -l
else
    "$@"
fi
