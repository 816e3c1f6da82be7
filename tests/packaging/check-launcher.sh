#!/usr/bin/env bash
# timoradesk-launch against a hostile caller, with real accounts (run as root): the test build of
# the launcher runs a probe (launch-probe.sh) as the throw-away system account in place of
# TimoraDesk. Checked: only the launch group may start it; nothing of the caller's environment,
# files, signal state, umask or limits reaches the program but a valid local DISPLAY; the
# system account's home must be its own; the program and the launcher are out of the caller's
# reach for signals and ptrace, also when signals arrive while it switches accounts; the launcher
# ends with the program's status and passes the session's end on to it. It serves only an X
# server of root's, one at a time, and refuses limits it cannot reset. Told of a session, it
# starts the desktop (desktop-probe.sh) as the caller, ends a session that outlasts its minutes,
# and afterwards ends every process of the caller and makes its home the skeleton again; nothing a
# kiosk user leaves behind outlives that (a process whose first thread has ended, fork chains, a
# folder kept filling), a home that cannot be emptied is moved aside, and the session's end is
# answered only once the kiosk account runs nothing; a refused power action, and a session the
# launcher had to end, bring the program back.
# Usage: check-launcher.sh LAUNCHER LOCALE_FILE PTRACE_ATTACH KIOSK_LEFTOVER
set -uo pipefail
. "$(dirname "$0")/common.sh"
. "$(dirname "$0")/../../scripts/lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to create test accounts"; exit 77; }
built=$1 locale_file=$2 ptrace_attach=$3 leftover_built=$4

work=$(mktemp -d /tmp/timoratest-launch.XXXXXX)
chmod 755 "$work"
. "$(dirname "$0")/accounts.sh"
own_x=
cleanup() {
    [ -n "$own_x" ] && kill "$own_x" 2>/dev/null
    remove_test_accounts
    rm -f "$locale_file"
    # (A check that failed half-way may have left a file immutable.)
    chattr -R -i "$work" 2>/dev/null
    rm -rf "$work" "$test_tree"
}
on_exit cleanup
create_test_accounts || { echo "FAIL: could not create the test accounts" >&2; exit 1; }
kiosk_uid=$(id -u "$test_kiosk")

launcher=$work/timoradesk-launch
install_launcher "$built" "$launcher"
# What the test launcher runs, in the root-owned folder it was built for; a skeleton of one file.
make_test_tree
install -m 755 "$(dirname "$0")/launch-probe.sh" "$test_tree/launch-probe.sh"
install -m 755 "$(dirname "$0")/desktop-probe.sh" "$test_tree/desktop-probe.sh"
install -m 755 "$ptrace_attach" "$leftover_built" "$test_tree/"
ptrace_attach=$test_tree/$(basename "$ptrace_attach")
leftover=$test_tree/$(basename "$leftover_built")
# Where the kiosk account's leftovers write what shows they still run: not a folder the
# launcher empties.
install -d -m 1777 "$test_tree/marks"
# The display manager's X server: root's.
start_x_server Xvfb -screen 0 640x480x24 -nolisten tcp || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
x=$XDISPLAY
# The machine's locale as /etc/default/locale gives it; a line with shell in it is dropped.
printf 'LANG=de_DE.UTF-8\nLC_TIME="en_GB.UTF-8"\nLC_PAPER=$(touch /tmp/x)\nFOO=bar\n' >"$locale_file"
chmod 644 "$locale_file"
home=$work/svc-home
probe=$home/probe.out
svc_uid=$(id -u "$test_svc") svc_gid=$(id -g "$test_svc")

# launch USER [ENV...]: runs the launcher as USER with exactly the environment ENV; sets
# $status, $output (standard error and output) and clears the probe's last report first.
launch() {
    local user=$1
    shift
    rm -f "$probe"
    # (A launcher that should have refused may run a program that sleeps: it is ended.)
    output=$(timeout 30 setpriv --reuid="$user" --regid="$user" --init-groups -- \
        env -i "$@" "$launcher" 2>&1)
    status=$?
}
probe_ran() { [ -f "$probe" ]; }
probe_line() { grep -E "$1" "$probe"; }

# --- Who may start it.
launch "$test_kiosk" DISPLAY=$x
[ "$status" -eq 0 ] || fail "the kiosk account could not start the launcher ($status): $output"
probe_ran || fail "the launcher did not run the program for the kiosk account"

launch "$test_other" DISPLAY=$x
[ "$status" -eq 126 ] && [[ $output == *"Permission denied"* ]] ||
    fail "an account outside the group ran the launcher ($status): $output"
probe_ran && fail "the program ran for an account outside the group"
# The same with the file's permissions out of the way: the launcher checks the group itself.
chmod 4755 "$launcher"
launch "$test_other" DISPLAY=$x
[ "$status" -eq 126 ] && [[ $output == *"only members of the group $test_group"* ]] ||
    fail "the launcher itself let in an account outside the group ($status): $output"
probe_ran && fail "the program ran for an account outside the group (mode 4755)"
chmod 4754 "$launcher"

output=$(as "$test_kiosk" env -i DISPLAY=$x "$launcher" --help 2>&1)
[[ $output == *"takes no arguments"* ]] || fail "the launcher accepted arguments: $output"

# --- DISPLAY: only a local display passes.
long=":$(printf '%*s' 5000 '' | tr ' ' 1)"
for bad in "" "host:0" "localhost:0.0" "unix:0" ":" ":12345" ":0.123" ":0." ":0.0.0" ":a" \
    ":0;id" ":0 " "/tmp/.X11-unix/X0" "$long" $':0\n:1'; do
    launch "$test_kiosk" "DISPLAY=$bad"
    { [ "$status" -eq 126 ] && ! probe_ran; } ||
        fail "DISPLAY '${bad:0:40}' was accepted ($status): $output"
done
launch "$test_kiosk"
{ [ "$status" -eq 126 ] && [[ $output == *"DISPLAY must name a local display"* ]]; } ||
    fail "a missing DISPLAY was accepted ($status): $output"
# A well-formed display without an X server of root's.
for none in ":1234" ":1234.12"; do
    launch "$test_kiosk" "DISPLAY=$none"
    { [ "$status" -eq 126 ] && ! probe_ran && [[ $output == *"no X server"* ]]; } ||
        fail "DISPLAY '$none' without a server was accepted ($status): $output"
done
for good in "$x" "$x.0"; do
    launch "$test_kiosk" "DISPLAY=$good"
    probe_ran && probe_line "^DISPLAY=$good\$" >/dev/null ||
        fail "DISPLAY '$good' was refused or changed ($status): $output"
done

# --- An attacker's environment: a library to preload, programs, homes and plug-ins of its own.
evil=$work/evil
mkdir -p "$evil/bin" "$evil/config" "$evil/plugins"
cat >"$evil/preload.c" <<'C'
#include <stdio.h>
#include <unistd.h>
__attribute__((constructor)) static void taken(void)
{
    char path[64];
    snprintf(path, sizeof path, "/tmp/timoratest-preloaded-%d", (int)geteuid());
    FILE *f = fopen(path, "w");
    if (f)
        fclose(f);
}
C
gcc -shared -fPIC -o "$evil/preload.so" "$evil/preload.c" || fail "could not build the test library"
for tool in sh id env grep ls sort cat mv sleep timoradesk; do
    printf '#!/bin/sh\ntouch %s/ran-%s\n' "$evil" "$tool" >"$evil/bin/$tool"
    chmod 755 "$evil/bin/$tool"
done
chmod -R a+rX "$evil"
rm -f /tmp/timoratest-preloaded-*
# The open-file limit the program should get: the system's (process 1's), or where root may not
# raise limits (a container without CAP_SYS_RESOURCE), as much as the caller's hard limit allows.
nofile=$(awk '/^Max open files/ {print $4}' /proc/1/limits)
[ "$nofile" -gt "$(ulimit -Hn)" ] && nofile=$(ulimit -Hn)
# The caller also leaves files open (above its own limit on open files, too), ignores SIGTERM
# and SIGCHLD, blocks SIGINT (perl), has a umask of 000, an unlimited core size and a limit of
# 8 open files at a time (too few for the program to start).
echo 9 >"$home/probe.exit"
chown "$test_svc:" "$home/probe.exit"
rm -f "$probe"
output=$(as "$test_kiosk" env -i DISPLAY=$x LD_PRELOAD="$evil/preload.so" \
    LD_LIBRARY_PATH="$evil" PATH="$evil/bin:/usr/bin:/bin" HOME="$evil" SHELL="$evil/bin/sh" \
    XDG_CONFIG_HOME="$evil/config" XDG_RUNTIME_DIR="$evil" XDG_DATA_DIRS="$evil" \
    XDG_CONFIG_DIRS="$evil" QT_PLUGIN_PATH="$evil/plugins" QT_QPA_PLATFORM=offscreen \
    QT_QPA_PLATFORM_PLUGIN_PATH="$evil/plugins" QT_DEBUG_PLUGINS=1 ENV="$evil/bin/sh" \
    BASH_ENV="$evil/bin/sh" LANG=C.UTF-8 LC_ALL=C GCONV_PATH="$evil" XAUTHORITY="$evil/auth" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$evil/bus" ASAN_OPTIONS="log_path=$evil/asan" \
    /usr/bin/perl -e '$SIG{TERM} = "IGNORE"; $SIG{CHLD} = "IGNORE";
        use POSIX; sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGINT));
        open(my $keep, "<", "/etc/hostname"); fcntl($keep, F_SETFD, 0);
        umask 0; exec "/bin/sh", "-c", "ulimit -c unlimited; exec 7</etc/hostname; exec 9</etc/hostname; exec /usr/bin/prlimit --nofile=8:'"$(ulimit -Hn)"' \"\$0\"", @ARGV' \
    "$launcher" 2>&1)
status=$?
rm -f "$home/probe.exit"
[ "$status" -eq 9 ] || fail "the launcher did not end with the program's status 9 but $status: $output"
if probe_ran; then
    environment=$(sed -n '/^--- environment/,$p' "$probe" | tail -n +2 | cut -d= -f1 | sort | tr '\n' ' ')
    # (PWD is the probe's shell's own.)
    [ "$environment" = "DISPLAY HOME LANG LC_TIME LOGNAME PATH PWD SHELL TIMORA_LAUNCHER_FD USER XDG_RUNTIME_DIR " ] ||
        fail "the program got the environment: $environment"
    for line in "^HOME=$home\$" "^USER=$test_svc\$" "^LOGNAME=$test_svc\$" \
        '^PATH=/usr/local/bin:/usr/bin:/bin$' '^SHELL=/bin/sh$' "^DISPLAY=$x\$" \
        "^XDG_RUNTIME_DIR=$home/.runtime\$" '^LANG=de_DE.UTF-8$' '^LC_TIME=en_GB.UTF-8$' \
        "^uid=$svc_uid gid=$svc_gid groups=$svc_gid\$" "^pwd=$home\$" '^umask=0077$' '^core=0$' \
        "^nofile=$nofile\$" \
        "^Uid:\s+$svc_uid\s+$svc_uid\s+$svc_uid\s+$svc_uid\$" \
        "^Gid:\s+$svc_gid\s+$svc_gid\s+$svc_gid\s+$svc_gid\$" \
        '^SigBlk:\s+0+$' '^SigIgn:\s+0+$' '^NoNewPrivs:\s+1$'; do
        probe_line "$line" >/dev/null || fail "the program was not given '$line': $(cat "$probe")"
    done
    # The caller's open files are /etc/hostname; the program's own are its shell's.
    probe_line '^fd .* -> /etc/hostname$' >/dev/null &&
        fail "the caller's open files reached the program: $(probe_line '^fd ')"
    probe_line '^fd 0 -> /dev/null$' >/dev/null || fail "standard input is not /dev/null: $(probe_line '^fd 0')"
    [ "$(stat -c '%U %a' "$home/.runtime")" = "$test_svc 700" ] ||
        fail "the runtime folder is $(stat -c '%U %a' "$home/.runtime")"
else
    fail "the program did not run for a caller with an odd environment: $output"
fi
# The caller's own programs load the library (uid of the kiosk account); root or the system
# account never may.
for uid in 0 "$svc_uid"; do
    [ -e "/tmp/timoratest-preloaded-$uid" ] && fail "LD_PRELOAD was honoured for uid $uid"
done
ls "$evil"/ran-* >/dev/null 2>&1 && fail "the caller's PATH was used: $(ls "$evil"/ran-*)"
[ -e "$evil/asan" ] || ls "$evil"/asan* >/dev/null 2>&1 && fail "the caller's ASAN_OPTIONS were read"
rm -f /tmp/timoratest-preloaded-*

# --- The system account's home must be its own and closed.
chmod 750 "$home"
launch "$test_kiosk" DISPLAY=$x
{ [ "$status" -eq 126 ] && ! probe_ran && [[ $output == *"mode 0700"* ]]; } ||
    fail "a home of mode 750 was accepted ($status): $output"
chmod 700 "$home"
chown "$test_kiosk" "$home"
launch "$test_kiosk" DISPLAY=$x
{ [ "$status" -eq 126 ] && ! probe_ran; } || fail "a home of another account was accepted ($status)"
chown "$test_svc" "$home"
mv "$home" "$work/svc-home.real" && ln -s "$work/svc-home.real" "$home"
launch "$test_kiosk" DISPLAY=$x
{ [ "$status" -eq 126 ] && [ ! -f "$work/svc-home.real/probe.out" ]; } ||
    fail "a home that is a symbolic link was accepted ($status)"
rm "$home" && mv "$work/svc-home.real" "$home"

# --- Out of the caller's reach while it runs; the session's end and root's kill pass on.
start_sleeping() {
    as "$test_svc" touch "$home/probe.sleep"
    rm -f "$probe"
    setpriv --reuid="$test_kiosk" --regid="$test_kiosk" --init-groups -- \
        env -i DISPLAY=$x "$launcher" >/dev/null 2>&1 &
    launcher_pid=$!
    wait_for 10 probe_ran || fail "the program did not start"
    program_pid=$(pgrep -P "$launcher_pid" -U "$svc_uid")
}
start_sleeping
if [ -n "$program_pid" ]; then
    [ "$(ps -o ruid=,euid= -p "$launcher_pid" | xargs)" = "0 0" ] ||
        fail "the launcher does not wait as root: $(ps -o ruid=,euid= -p "$launcher_pid")"
    for target in "$program_pid" "$launcher_pid"; do
        for signal in KILL STOP TERM; do
            out=$(as "$test_kiosk" /bin/kill -s "$signal" "$target" 2>&1) &&
                fail "the kiosk account sent SIG$signal to $target"
            [[ $out == *"Operation not permitted"* ]] || fail "kill -$signal said: $out"
        done
        out=$(as "$test_kiosk" "$ptrace_attach" "$target")
        [[ $out == *"Operation not permitted"* ]] || fail "ptrace by the kiosk account: $out"
    done
    grep -q '^State:\s*S' "/proc/$program_pid/status" || fail "the program is not running"
    # The display manager ends the session: the program ends, and so does the launcher.
    kill -TERM "$launcher_pid"
    wait "$launcher_pid"
    status=$?
    [ "$status" -eq 143 ] || fail "after SIGTERM the launcher ended with $status, not 143"
    gone "$program_pid" || fail "SIGTERM to the launcher did not end the program"
else
    fail "no program under the launcher"
fi
# Root kills the launcher outright: the program does not outlive it.
start_sleeping
if [ -n "$program_pid" ]; then
    kill -KILL "$launcher_pid"
    wait "$launcher_pid" 2>/dev/null
    wait_for 5 gone "$program_pid" || fail "the program outlived its killed launcher"
fi
as "$test_svc" rm -f "$home/probe.sleep"

# Signals from the caller while the launcher starts and switches accounts, at varying moments:
# whatever lands, the program never runs as anything but the system account, and once it runs
# the caller can no longer signal it or its launcher.
as "$test_svc" touch "$home/probe.sleep"
pidfile=$test_tree/drop/launcher.pid
killed_early=0 switched=0
for round in $(seq 1 25); do
    rm -f "$probe" "$pidfile"
    as "$test_kiosk" sh -c '
        env -i DISPLAY="$4" "$1" >/dev/null 2>&1 &
        pid=$!
        echo $pid >"$3"
        i=0
        while [ $i -lt "$2" ]; do i=$((i + 1)); done
        for s in STOP CONT TERM HUP INT USR1 KILL; do kill -s $s $pid 2>/dev/null; done' \
        sh "$launcher" "$((round * round * 20))" "$pidfile" "$x"
    pid=$(cat "$pidfile")
    sleep 0.3
    if ! gone "$pid"; then
        switched=$((switched + 1))
        [ "$(ps -o ruid= -p "$pid" | xargs)" = 0 ] ||
            fail "round $round: the launcher kept the caller's uid $(ps -o ruid= -p "$pid")"
        children=$(pgrep -P "$pid")
        for child in $children; do
            ruid=$(ps -o ruid= -p "$child" | xargs)
            [ "$ruid" = "$svc_uid" ] || [ "$ruid" = 0 ] ||
                fail "round $round: the program runs as uid $ruid"
            as "$test_kiosk" /bin/kill -s KILL "$child" 2>/dev/null &&
                fail "round $round: the kiosk account killed the program"
        done
        kill -KILL "$pid" $children 2>/dev/null
    else
        killed_early=$((killed_early + 1))
        probe_ran && [ "$(stat -c %U "$probe")" != "$test_svc" ] &&
            fail "round $round: a program ran as $(stat -c %U "$probe")"
    fi
done
echo "signal rounds: $killed_early ended before the switch, $switched switched and kept running"
as "$test_svc" rm -f "$home/probe.sleep"

# --- Limits it cannot reset: a hard limit on open files cut to 64. Where root may raise limits,
# the program gets the system's; where it may not (a container), the launcher refuses.
output=$(as "$test_kiosk" env -i DISPLAY=$x /usr/bin/prlimit --nofile=64:64 "$launcher" 2>&1)
status=$?
if (( ($(awk '/^CapEff/ {print "0x" $2}' /proc/self/status) >> 24) & 1 )); then
    [ "$status" -eq 0 ] && probe_line "^nofile=$(awk '/^Max open files/ {print $4}' /proc/1/limits)\$" >/dev/null ||
        fail "a cut limit on open files was not reset ($status): $output"
else
    { [ "$status" -eq 126 ] && [[ $output == *"cannot reset the caller's resource limit"* ]]; } ||
        fail "a limit that could not be reset was accepted ($status): $output"
fi

# --- One at a time, and only on an X server of root's.
start_sleeping
if [ -n "$program_pid" ]; then
    launch "$test_kiosk" DISPLAY=$x
    { [ "$status" -eq 126 ] && [[ $output == *"TimoraDesk runs already on this computer"* ]]; } ||
        fail "a second launcher ran beside the first ($status): $output"
    gone "$program_pid" && fail "a second launcher ended the first one's program"
    kill -TERM "$launcher_pid"
    wait "$launcher_pid"
fi
own_display=
for n in $(seq 140 160); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { own_display=:$n; break; }
done
as "$test_kiosk" Xvfb "$own_display" -nolisten tcp -ac >/dev/null 2>&1 &
own_x=$!
wait_for 10 test -S "/tmp/.X11-unix/X${own_display#:}" || fail "the kiosk account's Xvfb did not start"
launch "$test_kiosk" "DISPLAY=$own_display"
{ [ "$status" -eq 126 ] && ! probe_ran && [[ $output == *"not root's"* ]]; } ||
    fail "the launcher ran on an X server of the kiosk account's ($status): $output"
kill "$own_x" 2>/dev/null
wait "$own_x" 2>/dev/null
own_x=

# --- A session: what the kiosk account left ends and its home is the skeleton before the
# program starts; told of a session, the launcher starts the desktop as the kiosk account; a
# session of 0 minutes that the program does not end is ended by the launcher a few seconds
# later; then nothing of the kiosk account is left, and its home is the skeleton again.
kiosk_home=$work/kiosk-home
as "$test_kiosk" sh -c "mkdir -p '$kiosk_home/.config/autostart' && echo planted >'$kiosk_home/.config/autostart/spy.desktop' && echo x >'$kiosk_home/.xsessionrc'"
as "$test_kiosk" sh -c 'nohup sleep 1000 >/dev/null 2>&1 &'
as "$test_kiosk" sh -c 'echo left >/tmp/timoratest-left-by-kiosk'
left_sleep=$(pgrep -U "$kiosk_uid" -x sleep)
[ -n "$left_sleep" ] || fail "the kiosk account's leftover process did not start"
# What a user who runs code leaves: a process whose first thread has ended (it shows as a zombie
# and runs on), chains of fork-and-exit, and a program that keeps filling a folder of the home.
beat=$test_tree/marks/beat
as "$test_kiosk" "$leftover" zombie-leader "$beat"
as "$test_kiosk" "$leftover" fork-chain 16
as "$test_kiosk" mkdir -p "$kiosk_home/.cache/fill"
as "$test_kiosk" "$leftover" fill "$kiosk_home/.cache/fill"
wait_for 5 test -s "$beat" || fail "the zombie-leader program does not run"
# (Its first thread a zombie, two threads in all.)
zombie=$(grep -l '^Threads:\s*2$' $(grep -l '^Name:\s*kiosk-leftover$' /proc/[0-9]*/status 2>/dev/null) 2>/dev/null |
    xargs -r grep -l '^State:\s*Z' 2>/dev/null | head -n1)
[ -n "$zombie" ] ||
    fail "the zombie-leader program is not a zombie with a live thread: $(ps -L -o pid,lwp,stat,comm -U "$kiosk_uid")"
leftover_threads() { ps -L -o stat=,comm= -U "$kiosk_uid" | awk '$1 !~ /^Z/ && $2 == "kiosk-leftover"' | wc -l; }
rm -f "$test_tree/drop/desktop.out" "$home/probe.runs"
as "$test_svc" touch "$home/probe.sleep"
as "$test_svc" sh -c "echo 'session 0' >'$home/probe.session'"
rm -f "$probe"
started=$SECONDS
setpriv --reuid="$test_kiosk" --regid="$test_kiosk" --init-groups -- \
    env -i DISPLAY=$x XDG_SESSION_ID=7 EVIL=1 "$launcher" >"$work/session.log" 2>&1 &
launcher_pid=$!
wait_for 10 probe_ran || fail "the program did not start for the session"
[ -z "$left_sleep" ] || gone "$left_sleep" || fail "a process of an earlier session survived the start"
[ "$(leftover_threads)" -eq 0 ] ||
    fail "the leftovers survived the start: $(ps -L -o pid,lwp,stat,comm -U "$kiosk_uid")"
before=$(cat "$beat" 2>/dev/null)
sleep 0.3
[ "$(cat "$beat" 2>/dev/null)" = "$before" ] || fail "the zombie-leader's thread still runs after the start"
grep -q "cannot empty\|could not be emptied" "$work/session.log" &&
    fail "the folder kept filling was in the way of the home's reset: $(cat "$work/session.log")"
[ -e /tmp/timoratest-left-by-kiosk ] && fail "a file of the kiosk account's in /tmp survived the start"
home_is_skeleton "$kiosk_home" || [ "$(home_listing "$kiosk_home")" = "./.Xauthority ./.kept " ] ||
    fail "the home was not made anew at the start: $(home_listing "$kiosk_home")"
if wait_for 10 test -f "$test_tree/drop/desktop.out"; then
    desktop=$(cat "$test_tree/drop/desktop.out")
    kiosk_gid=$(id -g "$test_kiosk") launch_gid=$(getent group "$test_group" | cut -d: -f3)
    for needle in "uid=$kiosk_uid gid=$kiosk_gid" "$launch_gid" "pwd=$kiosk_home" \
        "HOME=$kiosk_home" "DISPLAY=$x" "USER=$test_kiosk" "XDG_SESSION_ID=7"; do
        expect_text "$desktop" "$needle" "the desktop's report"
    done
    grep -q '^EVIL=' <<<"$desktop" && fail "the caller's environment reached the desktop"
else
    fail "told of a session, the launcher started no desktop: $(cat "$work/session.log")"
fi
desktop_pid=$(pgrep -U "$kiosk_uid" -x sleep)
[ -n "$desktop_pid" ] || fail "the desktop does not run as the kiosk account"
# Past the deadline the launcher ends the session and starts the program anew (its logon window);
# that run is told to end at once.
if wait_for 15 grep -q "ran out .* the launcher ends it" "$work/session.log"; then
    elapsed=$((SECONDS - started))
    echo "a session of 0 minutes that the program did not end lasted $elapsed s"
    [ "$elapsed" -ge 4 ] || fail "the launcher ended the session after $elapsed s, before its grace"
    as "$test_svc" rm -f "$home/probe.sleep" "$home/probe.session"
    if wait_for 15 gone "$launcher_pid"; then
        wait "$launcher_pid"
        status=$?
        [ "$status" -eq 0 ] || fail "the launcher ended with $status after the program's second run"
        [ "$(grep -c . "$home/probe.runs")" -eq 2 ] ||
            fail "the program ran $(grep -c . "$home/probe.runs") times, not twice"
        grep -q "TimoraDesk starts again" "$work/session.log" ||
            fail "the launcher did not say it starts the program again: $(cat "$work/session.log")"
    else
        fail "the launcher did not end after the program's second run"
        kill -KILL "$launcher_pid"
    fi
else
    fail "the launcher did not end a session past its minutes: $(cat "$work/session.log")"
    kill -KILL "$launcher_pid"
fi
[ -z "$(live_processes "$kiosk_uid")" ] || fail "processes of the kiosk account outlived the session: $(pgrep -a -U "$kiosk_uid")"
home_is_skeleton "$kiosk_home" || fail "the home is not the skeleton after the session: $(home_listing "$kiosk_home")"
as "$test_svc" rm -f "$home/probe.sleep" "$home/probe.session"

# --- A session without limit has no deadline: still running well past the grace.
as "$test_svc" touch "$home/probe.sleep"
as "$test_svc" sh -c "echo 'session -1' >'$home/probe.session'"
start_sleeping
if [ -n "$program_pid" ]; then
    sleep 8
    gone "$program_pid" && fail "the launcher ended a session without limit"
    kill -TERM "$launcher_pid"
    wait "$launcher_pid"
fi
as "$test_svc" rm -f "$home/probe.sleep" "$home/probe.session"

# --- The session's end is answered once the kiosk account runs nothing (the desktop and what it
# left); the program then asks for the power action, and when that is refused ("again"), the
# launcher starts it anew. The second run ends plainly and so does the launcher.
rm -f "$home/probe.runs" "$home/probe.answers"
echo "$kiosk_uid" >"$home/probe.kiosk-uid"
printf 'session -1\nend\n' >"$home/probe.session"
touch "$home/probe.again"
chown "$test_svc:" "$home/probe.kiosk-uid" "$home/probe.session" "$home/probe.again"
rm -f "$test_tree/drop/desktop.out"
output=$(timeout 60 setpriv --reuid="$test_kiosk" --regid="$test_kiosk" --init-groups -- \
    env -i DISPLAY=$x "$launcher" 2>&1)
status=$?
[ "$status" -eq 0 ] || fail "a refused power action: the launcher ended with $status: $output"
[ "$(cat "$home/probe.runs" 2>/dev/null | grep -c .)" -eq 2 ] ||
    fail "after a refused power action the program ran $(grep -c . "$home/probe.runs") times, not twice: $output"
[ "$(cat "$home/probe.answers" 2>/dev/null)" = "$(printf 'ended 0\nended 0')" ] ||
    fail "the session's end was answered: '$(cat "$home/probe.answers" 2>/dev/null)' (answer, live kiosk threads)"
[ -f "$test_tree/drop/desktop.out" ] || fail "the desktop did not start before the session's end"
as "$test_svc" rm -f "$home/probe.runs" "$home/probe.answers" "$home/probe.kiosk-uid" \
    "$home/probe.session" "$home/probe.again"

# --- A home that cannot be emptied (a file root made immutable stands in for whatever resists) is
# moved out of the kiosk account's reach into a folder of root's beside it, and a fresh home is
# made; once it can be removed, the next reset removes it.
as "$test_kiosk" mkdir -p "$kiosk_home/stuck"
as "$test_kiosk" touch "$kiosk_home/stuck/file"
if chattr +i "$kiosk_home/stuck/file" 2>/dev/null; then
    output=$("$launcher" --clean-home "$test_kiosk" 2>&1) ||
        fail "--clean-home failed for a home with a file that cannot be removed: $output"
    [[ $output == *"was moved to $work/.timoradesk-removed/"* ]] ||
        fail "--clean-home did not say where the home went: $output"
    home_is_skeleton "$kiosk_home" || fail "no fresh home after the move: $(home_listing "$kiosk_home")"
    [ "$(stat -c '%U %a' "$work/.timoradesk-removed")" = "root 700" ] ||
        fail "the moved home is not out of the kiosk's reach: $(stat -c '%U %a' "$work/.timoradesk-removed")"
    ls "$work"/.timoradesk-removed/*/stuck/file >/dev/null 2>&1 || fail "the moved home is not kept"
    chattr -i "$work"/.timoradesk-removed/*/stuck/file
    "$launcher" --clean-home "$test_kiosk" || fail "--clean-home failed after the move"
    [ -z "$(ls -A "$work/.timoradesk-removed")" ] ||
        fail "the moved home was not removed later: $(ls -A "$work/.timoradesk-removed")"
else
    echo "the file system cannot make a file immutable: the move of a home is not tried"
    rm -rf "$kiosk_home/stuck"
fi

# --- For the display manager's session set-up (root only): the kiosk account's home is made anew
# and its processes end; an account outside the launch group is left alone.
as "$test_kiosk" sh -c "echo x >'$kiosk_home/.gtkrc-2.0'; nohup sleep 1000 >/dev/null 2>&1 &"
as "$test_other" sh -c "echo mine >'$work/other-home/keep'"
"$launcher" --clean-home "$test_other" || fail "--clean-home failed for an account outside the group"
[ -f "$work/other-home/keep" ] || fail "--clean-home touched the home of an account outside the group"
"$launcher" --clean-home "$test_kiosk" || fail "--clean-home failed for the kiosk account"
home_is_skeleton "$kiosk_home" || fail "--clean-home left: $(home_listing "$kiosk_home")"
[ -z "$(live_processes "$kiosk_uid")" ] || fail "--clean-home left processes of the kiosk account: $(pgrep -a -U "$kiosk_uid")"
output=$(as "$test_kiosk" env -i DISPLAY=$x "$launcher" --clean-home "$test_other" 2>&1)
[[ $output == *"takes no arguments"* ]] || fail "--clean-home was taken from the kiosk account: $output"

finish
