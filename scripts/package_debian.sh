#!/usr/bin/env bash
# Packs the Linux program (make build) as a Debian package:
#   scripts/package_debian.sh BUILD_FOLDER [OUTPUT_FOLDER]
# writes OUTPUT_FOLDER/tarvenix_7.00-1_amd64.deb (default BUILD_FOLDER/dist):
# /usr/bin/tarvenix and its help in /usr/share/tarvenix (where the program
# looks for it), a menu entry (which is also the autostart entry a user may
# copy), the icon in the hicolor theme, AppStream metadata and a manual page.
# The shared libraries it depends on are worked out by dpkg-shlibdeps; the
# other dependencies are in packaging/debian/control. lintian, appstreamcli
# and desktop-file-validate check the result.
set -euo pipefail
umask 022

build="$(cd "${1:?usage: package_debian.sh BUILD_FOLDER [OUTPUT_FOLDER]}" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${2:-$build/dist}"
for f in tarvenix Tarvenix7.chm; do
    [ -f "$build/app/$f" ] || { echo "package_debian: $build/app/$f is missing" >&2; exit 1; }
done

# A source tree of the shape dpkg-shlibdeps and dpkg-gencontrol expect.
stage="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-deb-XXXXXX")"
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/debian"
cp "$here/packaging/debian/control" "$here/packaging/debian/changelog" "$stage/debian/"
root="$stage/debian/tarvenix"
doc="$root/usr/share/doc/tarvenix"
install -d "$root/usr/bin" "$root/usr/share/tarvenix" "$root/usr/share/applications" \
    "$root/usr/share/metainfo" "$root/usr/share/man/man1" "$doc"

# Without the debugging information of the build, as dh_strip leaves it.
strip --remove-section=.comment --remove-section=.note --strip-unneeded \
    -o "$root/usr/bin/tarvenix" "$build/app/tarvenix"
install -m 0644 "$build/app/Tarvenix7.chm" "$root/usr/share/tarvenix/"
install -m 0644 "$here/packaging/debian/tarvenix.desktop" "$root/usr/share/applications/"
install -m 0644 "$here/packaging/debian/org.tarvenix.Tarvenix.metainfo.xml" "$root/usr/share/metainfo/"
python3 "$here/src/app/qt/resources/make_icon.py" "$root/usr/share/icons/hicolor"
gzip -9n < "$here/packaging/debian/tarvenix.1" > "$root/usr/share/man/man1/tarvenix.1.gz"
gzip -9n < "$here/packaging/debian/changelog" > "$doc/changelog.Debian.gz"
install -m 0644 "$here/packaging/debian/copyright" "$doc/"
install -D -m 0644 "$here/packaging/debian/lintian-overrides" \
    "$root/usr/share/lintian/overrides/tarvenix"

(
    cd "$stage"
    install -d -m 0755 debian/tarvenix/DEBIAN
    dpkg-shlibdeps -Tdebian/tarvenix.substvars debian/tarvenix/usr/bin/tarvenix
    dpkg-gencontrol -ptarvenix -Pdebian/tarvenix -Tdebian/tarvenix.substvars
    cd debian/tarvenix
    find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums
    chmod 0644 DEBIAN/md5sums
)
find "$root" -type d -exec chmod 0755 {} +
version="$(dpkg-parsechangelog -l "$stage/debian/changelog" -S Version)"
deb="$out/tarvenix_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" > /dev/null
# What debuild checks after a build, and the metadata the desktop reads.
lintian --fail-on error,warning "$deb" 2>&1 | { grep -v 'root privileges is not recommended' || true; }
appstreamcli validate --strict --no-net "$root/usr/share/metainfo/org.tarvenix.Tarvenix.metainfo.xml"
desktop-file-validate "$root/usr/share/applications/tarvenix.desktop"
echo "package_debian: $deb"
