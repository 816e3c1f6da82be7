#!/usr/bin/env bash
# Builds the Debian package with scripts/package in a folder of its own and checks it the way
# Debian's tools see it: control data, contents, conffiles, and lintian (warnings are reported,
# errors fail). Nothing from the package is run.
# Usage: check-package.sh SOURCE WORK   (TIMORA_VERSION set)
set -uo pipefail
. "$(dirname "$0")/common.sh"
source=$1 work=$2
version=${TIMORA_VERSION:?}
arch=$(dpkg --print-architecture)
mkdir -p "$work"

if ! deb=$(bash "$source/scripts/package" "$work/build" 2>"$work/package.log"); then
    tail -50 "$work/package.log" >&2
    echo "FAIL: scripts/package did not build the package" >&2
    exit 1
fi
echo "package: $deb"
[ "$(basename "$deb")" = "timoradesk_${version}_${arch}.deb" ] || fail "package file named $deb"
[ -f "$deb" ] || { echo "FAIL: $deb does not exist" >&2; exit 1; }

# Control data.
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = timoradesk ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = x11 ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ -n "$(field Description | head -1)" ] || fail "no synopsis in the description"
[ "$(field Description | wc -l)" -gt 3 ] || fail "no extended description"

# package_names FIELD: the package names of a relation field, one a line (alternatives included).
package_names() { field "$1" | tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' | sed '/^$/d'; }
depends=$(package_names Depends)
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins \
    libxcb1 libxcb-ewmh2 libxcb-icccm4 libpq5 adduser passwd; do
    grep -qx -- "$p" <<<"$depends" || fail "Depends lacks $p: $(field Depends)"
done
grep -qx 'libasan.*\|libubsan.*' <<<"$depends" && fail "the package holds a sanitizer build"
recommends=$(package_names Recommends)
for p in trayer openbox lxpanel pcmanfm polkitd; do
    grep -qx -- "$p" <<<"$recommends" || fail "Recommends lacks $p: $(field Recommends)"
done
# On a kiosk System Information is unavailable: hardinfo is only suggested.
grep -qx hardinfo <<<"$recommends" && fail "Recommends holds hardinfo, which a kiosk never starts"
[ "$(field Suggests)" = hardinfo ] || fail "Suggests: $(field Suggests)"
grep -qx -- "hardinfo\|trayer\|openbox" <<<"$depends" && fail "Depends holds a program that is only recommended"
dpkg-deb -I "$deb" conffiles | grep -qx '/etc/xdg/TimoraV2/registry.ini' ||
    fail "the registry is not a conffile"
dpkg-deb -I "$deb" conffiles | grep -qx '/etc/X11/Xsession.d/38timoradesk' ||
    fail "the Xsession hook is not a conffile"
dpkg-deb -I "$deb" conffiles | grep -qx '/etc/sysctl.d/99-timoradesk.conf' ||
    fail "the SysRq setting is not a conffile"

# The maintainer scripts: the system account with its closed home, the kiosk group, the
# launcher setuid root for that group alone; a purge keeps the accounts.
postinst=$(dpkg-deb -I "$deb" postinst)
for needle in 'account=_timoradesk' 'group=timoradesk-kiosk' 'home=/var/lib/timoradesk' \
    'adduser --system' 'addgroup --system' 'chmod 0700 "$home"' \
    'dpkg-statoverride --update --add root "$group" 4754 "$launcher"' \
    'launcher=/usr/libexec/timoradesk/timoradesk-launch' 'mkdir -p -m 0755 /etc/timoradesk/kiosk-home' \
    'sysctl -q -p /etc/sysctl.d/99-timoradesk.conf' \
    'deb-systemd-helper enable timoradesk-kiosk-clean.service'; do
    expect_text "$postinst" "$needle" "postinst"
done
grep -q 'systemctl.* start\|systemctl.*restart' <<<"$postinst" &&
    fail "postinst starts a unit: the boot unit would make the kiosk's home anew during a session"
postrm=$(dpkg-deb -I "$deb" postrm)
expect_text "$postrm" 'dpkg-statoverride --remove "/usr/libexec/timoradesk/timoradesk-launch"' "postrm"
expect_text "$postrm" 'deb-systemd-helper mask timoradesk-kiosk-clean.service' "postrm"
expect_text "$postrm" 'deb-systemd-helper purge timoradesk-kiosk-clean.service' "postrm"
grep -q 'rm \|deluser\|userdel' <<<"$postrm" && fail "postrm removes accounts or files"

# Contents: owner root, modes, places; nothing that starts by itself or appears in a menu.
listing=$(dpkg-deb -c "$deb")
expect_entry() {
    grep -qE "^$1 root/root +[0-9]+ [0-9-]+ [0-9:]+ \./$2\$" <<<"$listing" ||
        fail "the package lacks $2 with mode $1 owned by root"
}
expect_entry -rwxr-xr-x usr/bin/timoradesk
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-session
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-launch
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-move-accounts
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-desktop
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-session-setup
expect_entry -rwxr-xr-x usr/libexec/timoradesk/timoradesk-kiosk-clean
expect_entry -rw-r--r-- lib/systemd/system/timoradesk-kiosk-clean.service
for f in usr/share/xsessions/timoradesk.desktop etc/X11/Xsession.d/38timoradesk \
    usr/share/polkit-1/rules.d/60-timoradesk.rules \
    usr/share/timoradesk/openbox/rc.xml etc/xdg/TimoraV2/registry.ini etc/sysctl.d/99-timoradesk.conf \
    usr/share/man/man1/timoradesk.1.gz usr/share/icons/hicolor/scalable/apps/timoradesk.svg \
    usr/share/icons/hicolor/48x48/apps/timoradesk.png usr/share/doc/timoradesk/copyright \
    usr/share/doc/timoradesk/changelog.gz; do
    expect_entry -rw-r--r-- "$f"
done
grep -E '\./(etc/xdg/autostart|usr/share/applications|usr/local)/' <<<"$listing" &&
    fail "the package installs something that starts by itself, shows in a menu or lies in /usr/local"

# The executable is the stripped real power build: it asks logind, and has no simulated power.
rm -rf "$work/root"
dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/timoradesk
case "$(file -b "$program")" in
    *", stripped"*) ;;
    *) fail "the executable is not stripped: $(file -b "$program")" ;;
esac
# holds FILE TEXT: FILE contains TEXT in 8-bit or in UTF-16 (as Qt keeps string literals).
holds() {
    local plain utf16
    plain=$(sed 's/[^A-Za-z0-9 ]/\\&/g' <<<"$2")
    utf16=$(sed 's/[^A-Za-z0-9 ]/\\&/g; s/\(\\\?.\)/\1\\x00/g' <<<"$2")
    LC_ALL=C grep -qaP -- "$plain|$utf16" "$1"
}
holds "$program" 'org.freedesktop.login1.Manager' || fail "the executable does not call logind"
# The launcher runs the installed program as the package's account and group, without sanitizers.
launcher=$work/root/usr/libexec/timoradesk/timoradesk-launch
for text in /usr/bin/timoradesk _timoradesk timoradesk-kiosk /etc/default/locale; do
    LC_ALL=C grep -qaF -- "$text" "$launcher" || fail "the launcher does not name $text"
done
LC_ALL=C grep -qa 'ASAN_OPTIONS\|__asan' "$launcher" && fail "the launcher holds a sanitizer or test setting"
holds "$program" 'shut-down requested' && fail "the executable is the simulated power build"
grep -qx 'kernel.sysrq = 0' "$work/root/etc/sysctl.d/99-timoradesk.conf" ||
    fail "the package does not turn the SysRq keys off"
grep -qx 'exec /usr/libexec/timoradesk/timoradesk-launch --clean-home "$USER"' \
    "$work/root/usr/libexec/timoradesk/timoradesk-session-setup" || fail "the session set-up script runs something else"
grep -qx 'openbox_config="/usr/share/timoradesk/openbox/rc.xml"' \
    "$work/root/usr/libexec/timoradesk/timoradesk-desktop" || fail "the desktop script names other openbox settings"
for text in /usr/libexec/timoradesk/timoradesk-desktop /run/timoradesk/launch.lock; do
    LC_ALL=C grep -qaF -- "$text" "$launcher" || fail "the launcher does not name $text"
done
# The skeleton's path becomes a std::string where it is used: the compiler may build it from
# pieces in the code (16 bytes at a time) instead of keeping the whole literal.
LC_ALL=C grep -qaF -- /etc/timoradesk/ "$launcher" && LC_ALL=C grep -qaF -- kiosk-home "$launcher" ||
    fail "the launcher does not name /etc/timoradesk/kiosk-home"
grep -qx "Exec=/usr/libexec/timoradesk/timoradesk-session" \
    "$work/root/usr/share/xsessions/timoradesk.desktop" || fail "the X session runs something else"

# lintian: every finding is shown; errors fail.
echo "lintian:"
lintian --display-level '>=info' --fail-on error "$deb" >"$work/lintian.txt" 2>&1
lintian_status=$?
cat "$work/lintian.txt"
if [ "$lintian_status" -ne 0 ] || grep -q '^E: ' "$work/lintian.txt"; then
    fail "lintian reports errors"
fi

finish
