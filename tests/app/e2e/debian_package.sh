#!/usr/bin/env bash
# The Debian package (scripts/package_debian.sh) used in a fresh Debian 12
# (scripts/try_debian_package.sh, which skips without root or the registry):
# the files go to ~/.config/tarvenix and stay after a purge.  ARGS: BUILD_FOLDER
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.sh"
if [ -z "${ROOT:-}" ]; then
    e2e_begin dist
    "$here/../../../scripts/package_debian.sh" "${1:?usage: debian_package.sh BUILD_FOLDER}" \
        "$program" > "$work/out.log" 2>&1 || fail "the package could not be made"
    "$here/../../../scripts/try_debian_package.sh" "$program/tarvenix_7.00-1_amd64.deb" "$0"
    exit 0
fi
e2e_begin ""
program="$ROOT/home/user/.config/tarvenix" history="$ROOT/home/user/.config/tarvenix/history.txt"
# start USER HOME: the installed program, offscreen; a relative XDG_CONFIG_HOME counts as none.
start() {
    chroot --userspec="$1:$1" "$ROOT" env -i HOME="$2" XDG_CONFIG_HOME=cfg QT_QPA_PLATFORM=offscreen \
        LANG=C.UTF-8 /usr/bin/tarvenix > "$work/out.log" 2>&1 &
    pid=$!
}

case_name=user
mkdir -p "$program" "$ROOT/home/user/src/docs" "$ROOT/home/user/dst"
head -c 300000 /dev/urandom > "$ROOT/home/user/src/docs/b.bin"
write_system_dat 0 1 0 /home/user/src /home/user/dst
chown -R 65534:65534 "$ROOT/home/user"
start 65534 /home/user
wait_for '\[Success\] \[Prg open\]' 300 || fail "no backup at launch within 30 seconds"
terminate
expect_history '[Start] [Prg open]' '[Success] [Prg open]'
diff -r "$ROOT/home/user/src" "$ROOT/home/user/dst" || fail "copied tree differs"

# root may write /usr/bin, which is the package manager's all the same.
case_name=root
start 0 /root
for _ in $(seq 1 300); do [ ! -d "$ROOT/root/.config/tarvenix" ] || break; sleep 0.1; done
[ "$(stat -c %a "$ROOT/root/.config/tarvenix")" = 700 ] || fail "no /root/.config/tarvenix of mode 700"
terminate
[ ! -e "$ROOT/usr/bin/system.dat" ] && [ ! -e "$ROOT/usr/bin/history.txt" ] || fail "files in /usr"

case_name=purge
chroot "$ROOT" apt-get purge -y tarvenix > "$work/out.log" 2>&1 || fail "apt-get purge failed"
[ ! -e "$ROOT/usr/bin/tarvenix" ] || fail "the program stays after the purge"
ls "$program/system.dat" "$history" "$ROOT/root/.config/tarvenix" > /dev/null || fail "files went"
echo "debian_package: 3 passed, 0 failed"
