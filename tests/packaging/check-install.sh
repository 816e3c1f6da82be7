#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR) and checks what an administrator gets: every
# file in its place with its mode, valid desktop entries, a readable man page, and nothing that
# starts by itself or shows up in an application menu. Last, the shell library that the scripts and
# the kiosk checks share (scripts/lib.sh).
# Usage: check-install.sh BUILD STAGING BINDIR LIBEXECDIR DATADIR MANDIR   (TIMORA_VERSION set)
set -uo pipefail
. "$(dirname "$0")/common.sh"
build=$1 stage=$2 bindir=$3 libexecdir=$4 datadir=$5 mandir=$6
version=${TIMORA_VERSION:?}

rm -rf "$stage"
if ! DESTDIR="$stage" cmake --install "$build" >"$stage.log" 2>&1; then
    cat "$stage.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

# Files and modes: programs 755, everything else 644, folders 755, nothing writable by others.
program=$stage$bindir/timoradesk
session=$stage$libexecdir/timoradesk/timoradesk-session
launcher=$stage$libexecdir/timoradesk/timoradesk-launch
move_accounts=$stage$libexecdir/timoradesk/timoradesk-move-accounts
desktop=$stage$libexecdir/timoradesk/timoradesk-desktop
session_setup=$stage$libexecdir/timoradesk/timoradesk-session-setup
kiosk_clean=$stage$libexecdir/timoradesk/timoradesk-kiosk-clean
kiosk_clean_unit=$stage/lib/systemd/system/timoradesk-kiosk-clean.service
sysctl_file=$stage/etc/sysctl.d/99-timoradesk.conf
xsession=$stage$datadir/xsessions/timoradesk.desktop
xsession_hook=$stage/etc/X11/Xsession.d/38timoradesk
polkit_rule=$stage$datadir/polkit-1/rules.d/60-timoradesk.rules
openbox=$stage$datadir/timoradesk/openbox/rc.xml
manpage=$stage$mandir/man1/timoradesk.1.gz
registry=$stage/etc/xdg/TimoraV2/registry.ini
svg=$stage$datadir/icons/hicolor/scalable/apps/timoradesk.svg
png=$stage$datadir/icons/hicolor/48x48/apps/timoradesk.png
doc=$stage$datadir/doc/timoradesk

expect_mode "$program" 755
# The launcher is installed plain; the package's postinst makes it setuid for the kiosk group.
for f in "$session" "$launcher" "$move_accounts" "$desktop" "$session_setup" "$kiosk_clean"; do
    expect_mode "$f" 755
done
for f in "$sysctl_file" "$xsession" "$xsession_hook" "$polkit_rule" "$kiosk_clean_unit" "$openbox" "$manpage" "$registry" "$svg" "$png" \
    "$doc/copyright" "$doc/changelog.gz"; do
    expect_mode "$f" 644
done
while IFS= read -r d; do
    fail "folder $d has mode $(stat -c %a "$d"), expected 755"
done < <(find "$stage" -type d ! -perm 755)
while IFS= read -r f; do
    fail "$f is writable by group or others"
done < <(find "$stage" -type f -perm /022)

case "$(file -b "$png")" in
    *"PNG image data, 48 x 48"*) ;;
    *) fail "$png is not a 48 x 48 PNG: $(file -b "$png")" ;;
esac
case "$(file -b "$svg")" in
    *SVG*) ;;
    *) fail "$svg is not an SVG image: $(file -b "$svg")" ;;
esac

# The machine-wide registry names the system-information program.
if [ -f "$registry" ]; then
    expect_line "$registry" '[SOFTWARE\Microsoft\Shared Tools\MSINFO]'
    expect_line "$registry" 'PATH=sz:/usr/bin/hardinfo'
fi

# Installing starts nothing: no system-wide autostart entry, no visible menu entry.
if [ -d "$stage/etc/xdg/autostart" ]; then
    fail "something is installed to start with every session: $(ls "$stage/etc/xdg/autostart")"
fi
for entry in "$stage$datadir"/applications/*.desktop; do
    [ -e "$entry" ] || continue
    grep -qx 'NoDisplay=true' "$entry" || fail "$entry would show TimoraDesk in the menus"
done

# Nothing in a user's home decides whether TimoraDesk runs: no autostart entry is shipped.
find "$stage" -path '*autostart*' | grep -q . && fail "an autostart entry is installed: $(find "$stage" -path '*autostart*')"

# Desktop entries: valid, and each starts what it should.
for entry in "$xsession"; do
    [ -f "$entry" ] || continue
    if ! report=$(desktop-file-validate "$entry" 2>&1) || [ -n "$report" ]; then
        fail "desktop-file-validate $entry: $report"
    fi
    expect_line "$entry" 'Name=TimoraDesk'
done
if [ -f "$xsession" ]; then
    expect_line "$xsession" "Exec=$libexecdir/timoradesk/timoradesk-session"
fi
for script in "$session" "$move_accounts" "$xsession_hook" "$kiosk_clean"; do
    if [ -f "$script" ] && ! sh -n "$script"; then
        fail "$script is not a valid shell script"
    fi
done
# The X session starts before the account's ~/.xsessionrc, and only the TimoraDesk session.
if [ -f "$xsession_hook" ]; then
    expect_line "$xsession_hook" "if [ \"\${STARTUP:-}\" = \"$libexecdir/timoradesk/timoradesk-session\" ]; then"
    [ "$(basename "$xsession_hook")" \< 40x11-common_xsessionrc ] ||
        fail "$xsession_hook runs after ~/.xsessionrc is read"
fi
if [ -f "$session" ]; then
    # It starts nothing but the launcher beside it: no desktop before a logon.
    expect_line "$session" 'exec "$here/timoradesk-launch"'
    grep -qE 'openbox|lxpanel|pcmanfm|xhost|dbus-launch' "$session" &&
        fail "the session script starts something before the launcher"
fi
[ -f "$desktop" ] && expect_line "$desktop" "openbox_config=\"$datadir/timoradesk/openbox/rc.xml\""
[ -f "$session_setup" ] &&
    expect_line "$session_setup" "exec $libexecdir/timoradesk/timoradesk-launch --clean-home \"\$USER\""
[ -f "$sysctl_file" ] && expect_line "$sysctl_file" 'kernel.sysrq = 0'

# The boot unit runs the clean-up script before logind (which starts lingering accounts' user
# managers when it starts) and before any session; the script names the group and the launcher.
if [ -f "$kiosk_clean_unit" ]; then
    expect_line "$kiosk_clean_unit" "ExecStart=$libexecdir/timoradesk/timoradesk-kiosk-clean"
    expect_line "$kiosk_clean_unit" 'DefaultDependencies=no'
    expect_line "$kiosk_clean_unit" 'After=local-fs.target'
    expect_line "$kiosk_clean_unit" 'WantedBy=multi-user.target'
    before=$(sed -n 's/^Before=//p' "$kiosk_clean_unit")
    for unit in sysinit.target systemd-logind.service systemd-user-sessions.service display-manager.service; do
        grep -qw -- "$unit" <<<"$before" || fail "the boot unit does not run before $unit: Before=$before"
    done
    if command -v systemd-analyze >/dev/null; then
        # Against the staging folder as root: the unit's program is looked for there.
        report=$(systemd-analyze --root="$stage" verify --man=no "$kiosk_clean_unit" 2>&1 |
            grep -i 'timoradesk-kiosk-clean')
        [ -z "$report" ] || fail "systemd-analyze verify: $report"
    fi
fi
[ -f "$kiosk_clean" ] && expect_line "$kiosk_clean" 'group=timoradesk-kiosk' &&
    expect_line "$kiosk_clean" "launcher=$libexecdir/timoradesk/timoradesk-launch"


# The polkit rule, run with a stand-in for polkit: it grants the system account restart and
# power-off (through other accounts' block inhibitors too) and the logon window's inhibitors, and
# nothing to anyone else; it refuses the kiosk group's members restart, power-off, halt, suspend,
# hibernate, the next boot's choice, lingering and every block, key and lid inhibitor, and leaves
# their delay inhibitors, every other action and every other account to polkit's defaults.
# One row per decision: account, action (below org.freedesktop.login1), yes / no / - (not handled).
if [ -f "$polkit_rule" ] && command -v node >/dev/null; then
    decisions='
        _timoradesk reboot yes
        _timoradesk power-off-multiple-sessions yes
        _timoradesk reboot-ignore-inhibit yes
        _timoradesk power-off-ignore-inhibit yes
        _timoradesk inhibit-handle-lid-switch yes
        _timoradesk inhibit-block-sleep yes
        _timoradesk suspend -
        _timoradesk suspend-ignore-inhibit -
        _timoradesk halt-ignore-inhibit -
        _timoradesk inhibit-block-shutdown -
        _timoradesk set-self-linger -
        root inhibit-block-sleep -
        root reboot-ignore-inhibit -
        root reboot -
        pupil reboot -
        pupil set-self-linger -
        pupil inhibit-block-shutdown -
        kiosk reboot no
        kiosk reboot-multiple-sessions no
        kiosk power-off no
        kiosk power-off-ignore-inhibit no
        kiosk halt no
        kiosk suspend no
        kiosk hibernate-ignore-inhibit no
        kiosk set-reboot-to-firmware-setup no
        kiosk set-self-linger no
        kiosk set-user-linger no
        kiosk inhibit-block-shutdown no
        kiosk inhibit-block-sleep no
        kiosk inhibit-block-idle no
        kiosk inhibit-handle-power-key no
        kiosk inhibit-handle-suspend-key no
        kiosk inhibit-handle-hibernate-key no
        kiosk inhibit-handle-lid-switch no
        kiosk inhibit-handle-reboot-key no
        kiosk inhibit-delay-shutdown -
        kiosk inhibit-delay-sleep -
        kiosk lock-sessions -
        kiosk chvt -'
    wrong=$(node -e '
        const rule = [];
        global.polkit = { addRule: f => rule.push(f), Result: { YES: "yes", NO: "no", NOT_HANDLED: "-" } };
        eval(require("fs").readFileSync(process.argv[1], "utf8"));
        const groups = { _timoradesk: ["_timoradesk"], kiosk: ["kiosk", "timoradesk-kiosk"],
            pupil: ["pupil", "users"], root: ["root"] };
        if (rule.length !== 1) console.log("the rule file adds " + rule.length + " rules");
        for (const row of process.argv[2].trim().split("\n")) {
            const [user, action, expected] = row.trim().split(/ +/);
            const got = rule[0]({ id: "org.freedesktop.login1." + action },
                { user, isInGroup: g => groups[user].includes(g) });
            if (got !== expected) console.log(user + " " + action + ": " + got + ", expected " + expected);
        }' "$polkit_rule" "$decisions" 2>&1)
    [ -z "$wrong" ] || fail "the polkit rule decides: $wrong"
fi

# The man page reads without warnings and tells what an administrator needs.
if [ -f "$manpage" ]; then
    text=$(MANWIDTH=200 man --warnings -E UTF-8 -l "$manpage" 2>"$stage.man-warnings")
    [ -s "$stage.man-warnings" ] && fail "man reports: $(cat "$stage.man-warnings")"
    for needle in "TimoraDesk $version" 'NAME' 'timoradesk - ' 'System Logon' \
        'ADMINISTRATOR' 'QUIVERLANTERN' '$XDG_CONFIG_HOME/TimoraV2/TimoraV2.ini' \
        '~/.config/TimoraV2/TimoraV2.ini' 'mode 0600' '/etc/xdg/TimoraV2/registry.ini' \
        'rm /var/lib/timoradesk/.config/TimoraV2/TimoraV2.ini' 'All accounts are lost' \
        'A negative number (-1) means no limit; 0 means the account is disabled' \
        '/usr/share/xsessions/timoradesk.desktop' '_timoradesk' '/var/lib/timoradesk' \
        'timoradesk-kiosk' 'timoradesk-move-accounts' 'systemd-logind'; do
        expect_text "$text" "$needle" "man page"
    done
fi

if [ -f "$doc/changelog.gz" ]; then
    expect_text "$(zcat "$doc/changelog.gz" | head -1)" "timoradesk ($version)" "changelog"
fi

# scripts/lib.sh: exit actions run newest first, after a failure too, keeping an EXIT trap set
# before and the exit status; the sandbox is private and gone after the exit.
lib=$(dirname "$0")/../../scripts/lib.sh
out=$(bash -c 'set -euo pipefail
    . "$1"
    trap "echo earlier-trap" EXIT
    on_exit "echo first"
    make_sandbox
    echo "sandbox $sandbox"
    [ "$XDG_CONFIG_HOME" = "$sandbox/config" ] && [ -d "$XDG_CONFIG_HOME" ] && echo config
    [ "$XDG_RUNTIME_DIR" = "$sandbox/runtime" ] && echo "runtime $(stat -c %a "$XDG_RUNTIME_DIR")"
    on_exit "echo second"
    on_exit false
    on_exit "echo third"
    false
    echo not-reached' bash "$lib" 2>&1)
status=$?
sandbox=$(sed -n 's/^sandbox //p' <<<"$out")
[ "$status" -eq 1 ] || fail "lib.sh: a script that failed ended with status $status"
[ "$(sed '/^sandbox /d' <<<"$out" | tr '\n' ' ')" = \
    "config runtime 700 third second first earlier-trap " ] ||
    fail "lib.sh: the sandbox or the exit actions went wrong: $out"
{ [ -n "$sandbox" ] && [ ! -e "$sandbox" ]; } ||
    fail "lib.sh: the sandbox '$sandbox' outlived the script"

# write_settings: the accounts in their slots, mode 0600, or no change at all for a bad account.
write_settings() { bash -c '. "$1" && shift && write_settings "$@"' bash "$lib" "$@"; }
settings_dir=$(mktemp -d)
settings=$settings_dir/TimoraV2/TimoraV2.ini
accounts=("ADMINISTRATOR SECRET -1 1/1/2000 -1" "CHILD2 PASSWORD2 90 1/1/2000 90")
expected=$(printf '%s\n' '[SecData]' user1=ADMINISTRATOR pswd1=SECRET mins1=-1 date1=1/1/2000 \
    left1=-1 user2=CHILD2 pswd2=PASSWORD2 mins2=90 date2=1/1/2000 left2=90)
write_settings "$settings" "${accounts[@]}" || fail "lib.sh: write_settings failed"
{ [ "$(cat "$settings")" = "$expected" ] && [ -z "$(tail -c 1 "$settings")" ]; } ||
    fail "lib.sh: write_settings wrote: $(cat "$settings")"
expect_mode "$settings" 600
[ "$(write_settings - "${accounts[@]}")" = "$expected" ] || fail "lib.sh: write_settings - differs"
write_settings "$settings" "PUPIL SECRET 60 1/1/2000" 2>/dev/null &&
    fail "lib.sh: write_settings took an account without its minutes left"
[ "$(cat "$settings")" = "$expected" ] || fail "lib.sh: a refused account changed the file"
rm -rf "$settings_dir"

finish
