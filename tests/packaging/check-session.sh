#!/usr/bin/env bash
# Runs the installed X session "TimoraDesk" on an X server of its own, as a display manager
# would, with the staged test build (restart and shut-down simulated): the session brings up its
# window manager and tray host, TimoraDesk shows "System Logon" in front, the window manager
# offers no menu, and when TimoraDesk ends the session ends and takes its helpers along.
# Usage: check-session.sh STAGING BINDIR LIBEXECDIR DATADIR MANDIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
stage=$1 libexecdir=$3
session=$stage$libexecdir/timoradesk/timoradesk-session
[ -x "$session" ] || { echo "FAIL: no session script at $session" >&2; exit 1; }

work=$(mktemp -d)
server=
session_pid=
cleanup() {
    [ -n "$session_pid" ] && kill -9 $(pgrep -P "$session_pid") "$session_pid" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_for() {
    local tries=$(($1 * 10))
    shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# The server picks a free display itself and names it once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
wait_for 10 test -s "$work/display" || { echo "FAIL: Xvfb did not start" >&2; exit 1; }

export DISPLAY=":$(cat "$work/display")" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

"$session" >"$work/session.log" 2>&1 &
session_pid=$!

logon=
find_logon() { logon=$(xdotool search --onlyvisible --name '^System Logon$' | head -1) && [ -n "$logon" ]; }
if ! wait_for 30 find_logon; then
    cat "$work/session.log" >&2
    echo "FAIL: no \"System Logon\" window appeared" >&2
    exit 1
fi

# gone PID: the process has ended (a zombie that nobody has waited for yet counts as ended).
gone() {
    local state
    state=$(ps -o stat= -p "$1") || return 0
    [[ $state == Z* ]]
}

helper_pid() { pgrep -P "$session_pid" -x "$1"; }
wm=$(helper_pid openbox) || fail "the session started no openbox"
tray=$(helper_pid trayer) || fail "the session started no trayer"
program=$(helper_pid timoradesk) || fail "the session does not run timoradesk"

# The window manager runs with the session's settings, manages the logon window and puts it in
# front.
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "no window manager took the screen"
active_is_logon() { [ "$(xdotool getactivewindow)" = "$logon" ]; }
wait_for 5 active_is_logon || fail "the logon window is not the active window"
grep -q 'Openbox-Message' "$work/session.log" && fail "openbox complains: $(grep Openbox-Message "$work/session.log")"

# A right click on the empty screen opens no window-manager menu.
viewable_windows() {
    local w
    for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        xwininfo -id "$w" | grep -q IsViewable && echo "$w"
    done
}
before=$(viewable_windows)
xdotool mousemove 1000 20 click 3
sleep 0.5
after=$(viewable_windows)
[ "$before" = "$after" ] || fail "a right click on the screen opened a window (a menu?)"

# TimoraDesk ends (killed, so that nothing of its own ending runs): the session ends with it.
[ -n "$program" ] && kill -9 "$program"
if wait_for 10 gone "$session_pid"; then
    wait "$session_pid"
    status=$?
    [ "$status" -eq 137 ] || fail "the session ended with status $status, not TimoraDesk's (137)"
    session_pid=
else
    fail "the session did not end with TimoraDesk"
fi
for pid in $wm $tray; do
    wait_for 5 gone "$pid" || fail "helper $pid ($(ps -o comm= -p "$pid")) outlived the session"
done

finish
