#!/usr/bin/env bash
# The X session "TimoraDesk" on a kiosk, for real (run as root): throw-away accounts play the
# kiosk account and TimoraDesk's system account; the session script and the launcher (the test
# build of TimoraDesk, restart and shut-down simulated) lie in a root-owned tree as the package
# installs them, with the shipped window-manager settings; an X server with a cookie stands in
# for the display manager's, which also ends the X server when the session ends.
#
# Three sessions, one after another:
#  1. The desktop and its panel are there under "System Logon"; the kiosk account cannot read or
#     write the settings, nor signal or trace TimoraDesk; the guard closes a program started from
#     the panel and leaves the desktop alone; clicks reach the logon window, the About window and
#     the session window; Log Off ends the X session.
#  2. After a logon the desktop is usable (a program started from the panel stays); xkill on the
#     session window ends the X session.
#  3. The killed session forfeited the day: the same account is refused; root kills TimoraDesk
#     and the X session ends with its status.
# Usage: check-session.sh STAGING DATADIR SESSION LAUNCHER LOCALE_FILE PTRACE_ATTACH
#            MOVE_ACCOUNTS_TEMPLATE
set -uo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/../../scripts/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to create test accounts"; exit 77; }
stage=$1 datadir=$2 session_script=$3 built_launcher=$4 locale_file=$5 ptrace_attach=$6
move_template=$7

work=$(mktemp -d /tmp/timoratest-session.XXXXXX)
chmod 755 "$work"
. "$(dirname "$0")/accounts.sh"
session_pid=
# (The X server ends by the exit action that start_x_server adds.)
cleanup() {
    [ -n "$session_pid" ] && kill -9 "$session_pid" 2>/dev/null
    remove_test_accounts
    rm -f "$locale_file"
    [ -n "${TIMORA_KEEP_WORK:-}" ] || rm -rf "$work"
}
on_exit cleanup
create_test_accounts || { echo "FAIL: could not create the test accounts" >&2; exit 1; }
svc_uid=$(id -u "$test_svc")
svc_home=$work/svc-home kiosk_home=$work/kiosk-home

# The installed tree: session script and setuid launcher side by side, the shipped openbox
# settings where the script looks for them.
tree=$work/root
install -d -m 755 "$tree/libexec/timoradesk" "$tree/share/timoradesk/openbox"
install -m 755 "$session_script" "$tree/libexec/timoradesk/timoradesk-session"
install_launcher "$built_launcher" "$tree/libexec/timoradesk/timoradesk-launch"
install -m 644 "$stage$datadir/timoradesk/openbox/rc.xml" "$tree/share/timoradesk/openbox/rc.xml"
printf 'LANG=C.UTF-8\n' >"$locale_file"
chmod 644 "$locale_file"

# The accounts of an earlier version, in the kiosk account's own file, moved over as README.md
# says: ADMINISTRATOR and PUPIL (password SECRET, 60 minutes a day).
old=$kiosk_home/.config/TimoraV2/TimoraV2.ini
as "$test_kiosk" mkdir -p -m 700 "$kiosk_home/.config/TimoraV2"
write_settings - "ADMINISTRATOR ADMINPW -1 01/01/1998 -1" "PUPIL SECRET 60 01/01/1998 60" |
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
        sh "$tree/libexec/timoradesk/timoradesk-session" >"$work/session-$1.log" 2>&1 &
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

# ---------------------------------------------------------------- session 1
start_session 1
shot session1-logon
ps -o ruid=,euid= -p "$program" | grep -qE "^ *$svc_uid +$svc_uid\$" ||
    fail "TimoraDesk does not run as $test_svc: $(ps -o ruid=,euid= -p "$program")"
[ "$(xprop -id "$logon" _NET_WM_PID | awk '{print $3}')" = "$program" ] ||
    fail "the logon window is not TimoraDesk's"
desktop=$(window_of_type DESKTOP) || fail "no desktop window under the logon window"
panel=$(window_of_type DOCK) || fail "no panel under the logon window"
active_is_logon() { [ "$(xdotool getactivewindow)" = "$logon" ]; }
wait_for 5 active_is_logon || fail "the logon window is not the active window"
grep -q 'Openbox-Message' "$work/session-1.log" &&
    fail "openbox complains: $(grep Openbox-Message "$work/session-1.log")"

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

# A program started from the panel's launch bar while the logon window waits is closed by the
# guard; the desktop and the panel stay.
spy_clients
click "$panel" 38 12
if wait_for 10 spied_new_client; then
    wait_for 8 no_new_client || fail "the guard left a program started from the panel open"
else
    fail "clicking the panel's file-manager button started nothing"
fi
stop_spy
xwininfo -id "$desktop" | grep -q IsViewable || fail "the guard closed the desktop"
xwininfo -id "$panel" | grep -q IsViewable || fail "the guard closed the panel"
pgrep -P "$session_pid" -x lxpanel >/dev/null || fail "the panel ended"

# A right click on the logon window's title bar opens no window-manager menu.
viewable_windows() {
    local w
    for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        xwininfo -id "$w" | grep -q IsViewable && echo "$w"
    done
}
before=$(viewable_windows)
read -r x y < <(origin "$logon")
xdotool mousemove --sync $((x + 60)) $((y - 8)) click 3
sleep 0.5
after=$(viewable_windows)
for w in $(comm -13 <(echo "$before" | sort) <(echo "$after" | sort)); do
    fail "a right click on the title bar opened a window (a menu?): $w $(xprop -id "$w" WM_NAME WM_CLASS | tr '\n' ' ')"
done
xdotool key Escape

# Clicks: the About menu, the About window's OK, the logon fields and Log On.
menu=$(logon_menu_height)
click "$logon" 20 $((menu / 2))
wait_for 5 has_window 'About TimoraDesk' || fail "clicking About opened no About window"
about=$(visible_window 'About TimoraDesk')
if [ -n "$about" ]; then
    shot session1-about
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

# ---------------------------------------------------------------- session 2
start_session 2
menu=$(logon_menu_height)
click "$logon" 140 $((menu + 49))
xdotool type --delay 50 PUPIL
click "$logon" 140 $((menu + 81))
xdotool type --delay 50 SECRET
click "$logon" 150 $((menu + 168))
wait_for 10 has_window 'User Signed On' || fail "PUPIL could not log on again the same day"
active=$(visible_window 'User Signed On')
panel=$(window_of_type DOCK)
desktop=$(window_of_type DESKTOP)
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

finish
