#!/usr/bin/env bash
# The X session "TimoraDesk" on a kiosk, for real (run as root): throw-away accounts play the
# kiosk account and TimoraDesk's system account; the session script and the launcher (the test
# build of TimoraDesk, restart and shut-down simulated) lie in a root-owned tree as the package
# installs them, with the desktop script and the shipped window-manager settings; an X server
# with a cookie stands in for the display manager's, which starts the session through the steps
# of /etc/X11/Xsession (the package's hook, then the account's ~/.xsessionrc) and also ends the X
# server when the session ends.
#
# Four sessions, one after another:
#  1. "System Logon" stands alone: no window manager, no desktop, no process of the kiosk
#     account; it has the keyboard; the kiosk account cannot read or write the settings, nor
#     signal or trace TimoraDesk; About works and System Information is unavailable. After a
#     logon the desktop and its panel come, as the kiosk account; the session window works
#     (password box, tray); the kiosk account plants a GTK module, an autostart entry, a
#     ~/.xsessionrc, a user unit and a program of its own; Log Off ends the X session, every
#     process of the kiosk account and leaves the home as the skeleton.
#  2. None of what was planted runs, before or after the logon; a program started from the
#     panel stays; a second launcher is refused; xkill on the session window ends the X session.
#  3. The killed session forfeited the day: the same account is refused; root kills TimoraDesk
#     and the X session ends with its status.
#  4. A 1-minute session while a program of the kiosk account holds the X server's grab through
#     its last minute ends within a few seconds of that minute.
# Usage: check-session.sh STAGING DATADIR KIOSK_SCRIPTS LAUNCHER LOCALE_FILE PTRACE_ATTACH
#            MOVE_ACCOUNTS_TEMPLATE PROGRAM GRAB_SERVER
set -uo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/../../scripts/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to create test accounts"; exit 77; }
stage=$1 datadir=$2 kiosk_scripts=$3 built_launcher=$4 locale_file=$5 ptrace_attach=$6
move_template=$7 built_program=$8 grab_server=$9

work=$(mktemp -d /tmp/timoratest-session.XXXXXX)
chmod 755 "$work"
. "$(dirname "$0")/accounts.sh"
session_pid=
# (The X server ends by the exit action that start_x_server adds.)
cleanup() {
    [ -n "$session_pid" ] && kill -9 "$session_pid" 2>/dev/null
    remove_test_accounts
    rm -f "$locale_file"
    [ -n "${TIMORA_KEEP_WORK:-}" ] || rm -rf "$work" "$test_tree"
}
on_exit cleanup
create_test_accounts || { echo "FAIL: could not create the test accounts" >&2; exit 1; }
svc_uid=$(id -u "$test_svc") kiosk_uid=$(id -u "$test_kiosk")
svc_home=$work/svc-home kiosk_home=$work/kiosk-home

# The installed tree: session script and setuid launcher side by side, the package's Xsession
# hook. What the test launcher runs (TimoraDesk, the desktop script with the shipped openbox
# settings, the home skeleton) lies in its root-owned folder, wherever this build tree lies.
tree=$work/root
install -d -m 755 "$tree/libexec/timoradesk" "$tree/Xsession.d"
install -m 755 "$kiosk_scripts/timoradesk-session" "$tree/libexec/timoradesk/timoradesk-session"
install_launcher "$built_launcher" "$tree/libexec/timoradesk/timoradesk-launch"
sed "s|@TIMORA_SESSION_SCRIPT@|$tree/libexec/timoradesk/timoradesk-session|" \
    "$(dirname "$0")/../../packaging/xsession-timoradesk.in" >"$tree/Xsession.d/38timoradesk"
# /etc/X11/Xsession's part: the hooks in order, then (for other sessions) the account's own file.
cat >"$tree/Xsession" <<XSESSION
STARTUP=\$1
. "$tree/Xsession.d/38timoradesk"
[ -r "\$HOME/.xsessionrc" ] && . "\$HOME/.xsessionrc"
exec "\$STARTUP"
XSESSION
make_test_tree
install -m 755 "$built_program" "$test_tree/timoradesk"
install -m 755 "$kiosk_scripts/timoradesk-desktop" "$test_tree/timoradesk-desktop"
install -m 644 "$stage$datadir/timoradesk/openbox/rc.xml" "$test_tree/openbox-rc.xml"
# The test's own programs that the kiosk account runs, where it can reach them.
install -m 755 "$ptrace_attach" "$grab_server" "$test_tree/"
ptrace_attach=$test_tree/$(basename "$ptrace_attach") grab_server=$test_tree/$(basename "$grab_server")
# Where the kiosk account's planted programs would leave their mark.
markers=$test_tree/drop
printf 'LANG=C.UTF-8\n' >"$locale_file"
chmod 644 "$locale_file"

# The accounts of an earlier version, in the kiosk account's own file, moved over as README.md
# says: ADMINISTRATOR and PUPIL (password SECRET, 60 minutes a day).
old=$kiosk_home/.config/TimoraV2/TimoraV2.ini
as "$test_kiosk" mkdir -p -m 700 "$kiosk_home/.config/TimoraV2"
write_settings - "ADMINISTRATOR ADMINPW -1 01/01/1998 -1" "PUPIL SECRET 60 01/01/1998 60" \
    "BRIEF BRIEF 1 01/01/1998 1" |
    as "$test_kiosk" sh -c "umask 077; cat >'$old'" || fail "could not write $old"
settings=$svc_home/.config/TimoraV2/TimoraV2.ini
move_accounts=$tree/libexec/timoradesk/timoradesk-move-accounts
sed -e "s|@TIMORA_ACCOUNT@|$test_svc|g" -e "s|@TIMORA_HOME@|$svc_home|g" "$move_template" \
    >"$move_accounts"
chmod 755 "$move_accounts"
"$move_accounts" "$test_kiosk" >"$work/move.log" 2>&1 || fail "moving the accounts: $(cat "$work/move.log")"
[ -f "$old" ] || fail "moving the accounts removed the old file"
[ "$(stat -c '%U %a' "$settings" 2>&1)" = "$test_svc 600" ] ||
    fail "the moved file is $(stat -c '%U %a' "$settings" 2>&1)"
[ "$(stat -c '%U %a' "$(dirname "$settings")")" = "$test_svc 700" ] ||
    fail "the moved file's folder is $(stat -c '%U %a' "$(dirname "$settings")")"
"$move_accounts" "$test_kiosk" >"$work/move2.log" 2>&1 && fail "moving twice replaced the file"
grep -q 'exists already' "$work/move2.log" || fail "moving twice said: $(cat "$work/move2.log")"

visible_window() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
has_window() { [ -n "$(visible_window "$1")" ]; }
no_window() { [ -z "$(visible_window "$1")" ]; }
# window_of_type TYPE: a mapped client window of that _NET_WM_WINDOW_TYPE.
window_of_type() {
    local w
    for w in $(xprop -root _NET_CLIENT_LIST | sed -n 's/.*# //p' | tr ',' ' '); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q "_NET_WM_WINDOW_TYPE_$1" &&
            xwininfo -id "$w" | grep -q IsViewable && { echo "$w"; return 0; }
    done
    return 1
}
clients() { xprop -root _NET_CLIENT_LIST | sed -n 's/.*# //p' | tr ',' '\n' | sed 's/ //g' | sort; }
# A client window that was not there when $clients_before was taken is on the screen.
new_client() { comm -13 <(echo "$clients_before") <(clients) | grep -q .; }
no_new_client() { ! new_client; }
# spy_clients: records every change of the client list (windows the guard closes at once
# included) in $work/spy until stop_spy; spied_new_client: one of them was not there before.
spy_clients() {
    clients_before=$(clients)
    xprop -root -spy _NET_CLIENT_LIST >"$work/spy" 2>/dev/null &
    spy=$!
}
stop_spy() { kill "$spy" 2>/dev/null; wait "$spy" 2>/dev/null; }
spied_new_client() {
    comm -13 <(echo "$clients_before") \
        <(sed -n 's/.*# //p' "$work/spy" | tr ',' '\n' | sed 's/ //g' | sort -u) | grep -q .
}
# watch_title TITLE SECONDS: in the background, notes in $work/seen-TITLE when a window of that
# title exists, however briefly.
watch_title() {
    rm -f "$work/seen-$1"
    (
        end=$((SECONDS + $2))
        while [ "$SECONDS" -lt "$end" ]; do
            xdotool search --name "^$1\$" >/dev/null 2>&1 && { touch "$work/seen-$1"; break; }
        done
    ) &
}
# origin WINDOW: "X Y", the screen position of the window's client area. (xwininfo, as
# xdotool's geometry of a reparented window is off by the frame.)
origin() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        END {print x, y}'
}
# click WINDOW X Y: a left click at X,Y inside WINDOW's client area.
click() {
    local x y
    read -r x y < <(origin "$1")
    xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
    sleep 0.3
}
# region_hash WINDOW X Y W H: a checksum of that part of the window as shown on the screen.
region_hash() {
    local x y
    read -r x y < <(origin "$1")
    import -window root -crop "$4x$5+$((x + $2))+$((y + $3))" rgb:- 2>/dev/null | md5sum
}
shot() { [ -n "${TIMORA_SCREENSHOTS:-}" ] && import -window root "$TIMORA_SCREENSHOTS/$1.png"; }

# kiosk_processes: what runs as the kiosk account (real or effective user id).
kiosk_processes() { live_processes "$kiosk_uid"; }
# expect_alone NAME: while the logon window waits, nothing but TimoraDesk is on the display.
expect_alone() {
    local w pid
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' &&
        fail "session $1: a window manager runs while System Logon waits"
    [ -z "$(kiosk_processes)" ] ||
        fail "session $1: the kiosk account runs $(ps -o comm= -p "$(kiosk_processes | tr '\n' ',' | sed 's/,$//')" | tr '\n' ' ') while System Logon waits"
    for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        pid=$(xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -o '[0-9]*$')
        [ -z "$pid" ] || [ "$pid" = "$program" ] ||
            fail "session $1: a window of process $pid ($(ps -o comm= -p "$pid")) is on the display"
    done
}
# desktop_up: the desktop and its panel are on the screen.
desktop_up() { window_of_type DESKTOP && window_of_type DOCK; }

# start_session NAME: an X server that wants a cookie, and on it the kiosk account's session as a
# display manager starts it (with the kiosk's cookie, its home, a plain environment). Sets logon
# and program (TimoraDesk's process).
start_session() {
    local cookie
    cookie=$(mcookie)
    rm -f "$work/server.auth" "$work/root.auth" "$kiosk_home/.Xauthority"
    xauth -q -f "$work/server.auth" add :0 . "$cookie" 2>/dev/null
    start_x_server Xvfb -screen 0 1024x768x24 -nolisten tcp -auth "$work/server.auth" ||
        { echo "FAIL: Xvfb did not start" >&2; exit 1; }
    # shellcheck disable=SC2153 # XDISPLAY comes from start_x_server
    export DISPLAY=$XDISPLAY XAUTHORITY=$work/root.auth
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie" 2>/dev/null
    as "$test_kiosk" xauth -q -f "$kiosk_home/.Xauthority" add "$DISPLAY" . "$cookie" 2>/dev/null

    setpriv --reuid="$test_kiosk" --regid="$test_kiosk" --init-groups -- env -i -C "$kiosk_home" \
        DISPLAY="$DISPLAY" XAUTHORITY="$kiosk_home/.Xauthority" HOME="$kiosk_home" \
        USER="$test_kiosk" LOGNAME="$test_kiosk" PATH=/usr/local/bin:/usr/bin:/bin \
        sh "$tree/Xsession" "$tree/libexec/timoradesk/timoradesk-session" >"$work/session-$1.log" 2>&1 &
    session_pid=$!
    logon=
    find_logon() { logon=$(visible_window 'System Logon') && [ -n "$logon" ]; }
    if ! wait_for 40 find_logon; then
        cat "$work/session-$1.log" >&2
        echo "FAIL: no \"System Logon\" window appeared in session $1" >&2
        exit 1
    fi
    program=$(pgrep -P "$session_pid" -x timoradesk)
    [ -n "$program" ] || fail "session $1: TimoraDesk does not run under the session's launcher"
}

# end_session NAME STATUS: the session's process ends with STATUS (TimoraDesk's); then the
# display manager's part: the X server ends, and every program of the desktop with it.
end_session() {
    local helpers status
    helpers=$(pgrep -P "$session_pid" | grep -vx "${program:-none}")
    if wait_for 15 gone "$session_pid"; then
        wait "$session_pid"
        status=$?
        [ "$status" -eq "$2" ] || fail "session $1 ended with status $status, not $2"
    else
        fail "session $1 did not end with TimoraDesk"
        kill -9 "$session_pid"
    fi
    session_pid=
    stop_virtual_x
    for pid in $helpers; do
        wait_for 5 gone "$pid" || fail "session $1: $(ps -o comm= -p "$pid") outlived the X session"
    done
}

# Positions in the windows, in pixels from their client area's top left corner (their layout in
# twips divided by 15): the logon window below its menu bar, the About window, the session
# window and its password box.
logon_menu_height() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$logon")"
    echo $((HEIGHT - 213))
}

# plant: what a kiosk user who runs programs leaves for the next session: a GTK module named in
# ~/.gtkrc-2.0, an autostart entry, a ~/.xsessionrc, a user unit, links to root's files and a
# program that keeps running. Each would leave a mark in $markers.
spy_module=$work/libspy.so
printf '#include <stdio.h>\n__attribute__((constructor)) static void spy(void) { FILE *f = fopen("%s/gtk-module", "w"); if (f) fclose(f); }\n' \
    "$markers" >"$work/spy.c"
gcc -shared -fPIC -o "$spy_module" "$work/spy.c" || fail "could not build the spy module"
chmod 755 "$spy_module"
plant() {
    as "$test_kiosk" sh -c '
        home=$1 markers=$2 module=$3
        echo "gtk-modules = \"$module\"" >"$home/.gtkrc-2.0"
        mkdir -p "$home/.config/autostart" "$home/.config/systemd/user/default.target.wants"
        printf "[Desktop Entry]\nType=Application\nName=Spy\nExec=touch $markers/autostart\n" \
            >"$home/.config/autostart/spy.desktop"
        echo "touch $markers/xsessionrc" >"$home/.xsessionrc"
        printf "[Service]\nExecStart=/bin/touch $markers/unit\n[Install]\nWantedBy=default.target\n" \
            >"$home/.config/systemd/user/spy.service"
        ln -s ../spy.service "$home/.config/systemd/user/default.target.wants/spy.service"
        ln -s /etc/shadow "$home/shadow" && ln -s / "$home/root"
        nohup sh -c "while :; do sleep 1; done" >/dev/null 2>&1 &' \
        sh "$kiosk_home" "$markers" "$spy_module" || fail "could not plant the files"
    [ -f "$kiosk_home/.config/systemd/user/spy.service" ] || fail "the unit was not planted"
}
# expect_cleared NAME: after the session, nothing of the kiosk account runs, its home is the
# skeleton, and what its links named is still there.
expect_cleared() {
    [ -z "$(kiosk_processes)" ] ||
        fail "session $1: processes of the kiosk account outlived it: $(pgrep -a -U "$kiosk_uid")"
    home_is_skeleton "$kiosk_home" ||
        fail "session $1 left the home: $(home_listing "$kiosk_home")"
    [ -f /etc/shadow ] && [ -d /etc ] || fail "clearing the home followed a link"
}

# ---------------------------------------------------------------- session 1
start_session 1
shot session1-logon
ps -o ruid=,euid= -p "$program" | grep -qE "^ *$svc_uid +$svc_uid\$" ||
    fail "TimoraDesk does not run as $test_svc: $(ps -o ruid=,euid= -p "$program")"
[ "$(xprop -id "$logon" _NET_WM_PID | awk '{print $3}')" = "$program" ] ||
    fail "the logon window is not TimoraDesk's"
# "System Logon" stands alone on the display: no window manager, no process of the kiosk
# account, no window of another program; it has the keyboard focus.
expect_alone 1
focus_is_logon() { [ "$(xdotool getwindowfocus)" = "$logon" ]; }
wait_for 5 focus_is_logon || fail "the logon window does not have the keyboard focus"

# The kiosk account, and every program it starts, is kept out of the accounts and TimoraDesk.
out=$(as "$test_kiosk" cat "$settings" 2>&1) && fail "the kiosk account read the settings"
[[ $out == *"Permission denied"* ]] || fail "cat of the settings said: $out"
out=$(as "$test_kiosk" ls "$(dirname "$settings")" 2>&1) && fail "the kiosk account listed the folder"
[[ $out == *"Permission denied"* ]] || fail "ls of the settings folder said: $out"
out=$(as "$test_kiosk" sh -c "echo mins2=-1 >>'$settings'" 2>&1) &&
    fail "the kiosk account wrote the settings"
[[ $out == *"Permission denied"* ]] || fail "writing the settings said: $out"
as "$test_kiosk" touch "$svc_home/.config/TimoraV2/other.ini" 2>/dev/null &&
    fail "the kiosk account wrote into the settings folder"
for signal in KILL STOP TERM; do
    out=$(as "$test_kiosk" /bin/kill -s "$signal" "$program" 2>&1) &&
        fail "the kiosk account sent SIG$signal to TimoraDesk"
    [[ $out == *"Operation not permitted"* ]] || fail "kill -$signal said: $out"
done
out=$(as "$test_kiosk" "$ptrace_attach" "$program")
[[ $out == *"Operation not permitted"* ]] || fail "ptrace of TimoraDesk by the kiosk account: $out"

# Clicks: the About menu, System Info (unavailable on a kiosk: nothing starts as TimoraDesk's
# account), the About window's OK, the logon fields and Log On.
menu=$(logon_menu_height)
click "$logon" 20 $((menu / 2))
wait_for 5 has_window 'About TimoraDesk' || fail "clicking About opened no About window"
about=$(visible_window 'About TimoraDesk')
if [ -n "$about" ]; then
    shot session1-about
    click "$about" 325 216
    wait_for 5 has_window TimoraDesk || fail "System Info said nothing"
    shot session1-sysinfo
    [ -z "$(pgrep -U "$svc_uid" | grep -vx "$program")" ] ||
        fail "System Info started $(pgrep -a -U "$svc_uid" | grep -v "^$program ") as $test_svc"
    xdotool key Return
    wait_for 5 no_window TimoraDesk || fail "the System Info box did not close"
    click "$about" 325 186
    wait_for 5 no_window 'About TimoraDesk' || fail "clicking OK did not close the About window"
fi
click "$logon" 140 $((menu + 49))
xdotool type --delay 50 PUPIL
click "$logon" 140 $((menu + 81))
xdotool type --delay 50 SECRET
click "$logon" 150 $((menu + 168))
wait_for 10 has_window 'User Signed On' || fail "clicking Log On did not sign PUPIL on"
active=$(visible_window 'User Signed On')
# Now the desktop comes, as the kiosk account.
wait_for 20 desktop_up || fail "no desktop and panel after the logon"
pgrep -U "$kiosk_uid" -x lxpanel >/dev/null || fail "the panel does not run as the kiosk account"
plant
if [ -n "$active" ]; then
    shot session1-signed-on
    # Change Password shows the password box, Cancel hides it again.
    box() { region_hash "$active" 128 70 185 67; }
    plain=$(box)
    click "$active" 317 266
    [ "$(box)" != "$plain" ] || fail "clicking Change Password showed no password box"
    shot session1-password
    click "$active" 264 108
    [ "$(box)" = "$plain" ] || fail "clicking Cancel left the password box"
    # Minimize puts the window in the panel's tray.
    click "$active" 189 266
    wait_for 5 no_window 'User Signed On' || fail "clicking Minimize did not hide the window"
    # The tray icon brings it back.
    icon=
    for w in $(xdotool search --onlyvisible --pid "$program"); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -le 48 ] && [ "$HEIGHT" -le 48 ] && icon=$w
    done
    if [ -n "$icon" ]; then
        click "$icon" 5 5
        wait_for 5 has_window 'User Signed On' || fail "clicking the tray icon did not show the window"
    else
        fail "no tray icon in the panel"
        xdotool windowmap "$active"
    fi
    # Log Off ends TimoraDesk (restart simulated) and with it the X session.
    click "$active" 69 266
fi
end_session 1 0
grep -q 'restart requested' "$work/session-1.log" || fail "Log Off asked for no restart"
expect_cleared 1

# ---------------------------------------------------------------- session 2
start_session 2
# Nothing planted in the last session is there or ran before this logon.
expect_alone 2
home_is_skeleton "$kiosk_home" || fail "the home before the logon of session 2: $(home_listing "$kiosk_home")"
menu=$(logon_menu_height)
click "$logon" 140 $((menu + 49))
xdotool type --delay 50 PUPIL
click "$logon" 140 $((menu + 81))
xdotool type --delay 50 SECRET
click "$logon" 150 $((menu + 168))
wait_for 10 has_window 'User Signed On' || fail "PUPIL could not log on again the same day"
active=$(visible_window 'User Signed On')
wait_for 20 desktop_up || fail "no desktop and panel after the logon of session 2"
panel=$(window_of_type DOCK)
desktop=$(window_of_type DESKTOP)
# Nor in the session: none of the planted programs left its mark.
sleep 2
for mark in gtk-module autostart xsessionrc unit; do
    [ -e "$markers/$mark" ] && fail "what was planted in session 1 ran in session 2: $mark"
done
# A second launcher while this one runs is refused and leaves the session alone.
out=$(as "$test_kiosk" env -i DISPLAY="$DISPLAY" XAUTHORITY="$kiosk_home/.Xauthority" \
    "$tree/libexec/timoradesk/timoradesk-launch" 2>&1) && fail "a second launcher ran"
[[ $out == *"TimoraDesk runs already on this computer"* ]] || fail "a second launcher said: $out"
gone "$program" && fail "a second launcher ended TimoraDesk"
[ -f "$kiosk_home/.Xauthority" ] || fail "a second launcher cleared the running session's home"
# The desktop is the user's now: a program started from the panel stays open.
clients_before=$(clients)
click "$panel" 38 12
if wait_for 10 new_client; then
    sleep 5
    new_client || fail "a program started from the panel after logon was closed"
    shot session2-desktop
else
    fail "after logon, clicking the panel's file-manager button started nothing"
fi
# xkill by the kiosk account on the session window ends TimoraDesk and the X session.
if [ -n "$active" ]; then
    as "$test_kiosk" env XAUTHORITY="$kiosk_home/.Xauthority" xkill -id "$active" >/dev/null 2>&1 ||
        fail "xkill failed"
    wait_for 15 gone "$session_pid" || fail "xkill on the session window did not end the X session"
    wait "$session_pid"
    session_pid=
    stop_virtual_x
fi
expect_cleared 2

# ---------------------------------------------------------------- session 3
start_session 3
menu=$(logon_menu_height)
click "$logon" 140 $((menu + 49))
xdotool type --delay 50 PUPIL
click "$logon" 140 $((menu + 81))
xdotool type --delay 50 SECRET
watch_title TimoraDesk 6
click "$logon" 150 $((menu + 168))
wait_for 6 test -e "$work/seen-TimoraDesk" ||
    fail "no message box after the logon of a killed session's account"
shot session3-refused
sleep 1
no_window 'User Signed On' || fail "the killed session's account was signed on again the same day"
grep -qx 'left2=0' "$settings" || fail "the killed session left $(grep left2 "$settings")"
grep -qx 'date2=01/01/1998' "$settings" && fail "the killed session's date was not stored"
# Root kills TimoraDesk: the X session ends with its status.
kill -9 "$program"
end_session 3 137
expect_cleared 3

# ---------------------------------------------------------------- session 4
# BRIEF has 1 minute. A program of the kiosk account holds the X server's grab from a few
# seconds after the logon until well past the minute, so that TimoraDesk cannot draw; the
# launcher ends the session all the same, a few seconds past the minute.
start_session 4
menu=$(logon_menu_height)
click "$logon" 140 $((menu + 49))
xdotool type --delay 50 BRIEF
click "$logon" 140 $((menu + 81))
xdotool type --delay 50 BRIEF
click "$logon" 150 $((menu + 168))
logged_on=$SECONDS
wait_for 10 has_window 'User Signed On' || fail "BRIEF could not log on"
wait_for 20 desktop_up || fail "no desktop after BRIEF's logon"
as "$test_kiosk" env -i DISPLAY="$DISPLAY" XAUTHORITY="$kiosk_home/.Xauthority" \
    "$grab_server" 180 >"$work/grab.out" 2>&1 &
wait_for 10 grep -q grabbed "$work/grab.out" || fail "the kiosk account could not grab the server: $(cat "$work/grab.out")"
grabbed_at=$((SECONDS - logged_on))
if wait_for 90 gone "$session_pid"; then
    wait "$session_pid"
    status=$?
    lasted=$((SECONDS - logged_on))
    how="TimoraDesk ended it"
    grep -q "ran out .* the launcher ends it" "$work/session-4.log" && how="the launcher ended it"
    echo "a 1-minute session with the X server grabbed from ${grabbed_at} s on lasted $lasted s ($how, status $status)"
    [ "$lasted" -le 72 ] || fail "a 1-minute session with the server grabbed lasted $lasted s"
else
    fail "a 1-minute session with the server grabbed did not end within 90 s"
    kill -9 "$session_pid"
fi
session_pid=
grep -qx 'left3=0' "$settings" || fail "the grabbed session left $(grep left3 "$settings")"
grep -qx 'date3=01/01/1998' "$settings" && fail "the grabbed session's date was not stored"
stop_virtual_x
expect_cleared 4

finish
