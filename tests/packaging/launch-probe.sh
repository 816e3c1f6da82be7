#!/bin/sh
# Started by the test build of timoradesk-launch in place of TimoraDesk: writes what it was given
# (ids, groups, environment, open files, signal state, umask, core limit, folder) to probe.out in
# its home and counts its runs in probe.runs; when probe.session exists there, tells the launcher
# what it holds ("session 0") on the launcher's socket, and when that holds "end", reads the
# launcher's answer into probe.answers with the number of the kiosk account's processes at that
# moment (its uid in probe.kiosk-uid); when probe.again exists, takes it away, tells the launcher "again" and
# ends; otherwise sleeps while probe.sleep exists there, and exits with the status in probe.exit.
out="$HOME/probe.out"
{
    echo "uid=$(id -u) gid=$(id -g) groups=$(id -G)"
    echo "pwd=$(pwd)"
    echo "umask=$(umask)"
    echo "core=$(ulimit -c)"
    echo "nofile=$(ulimit -n)"
    # (grep's own: what the shell passes on. The shell's own mask is all signals for a moment
    # while it starts a program, which a read of /proc/$$ may meet on a busy machine.)
    grep -E '^(Uid|Gid|SigBlk|SigIgn|NoNewPrivs):' /proc/self/status
    for fd in /proc/$$/fd/*; do
        echo "fd ${fd##*/} -> $(readlink "$fd")"
    done
    echo "--- environment"
    env | sort
} >"$out.tmp" 2>&1
mv "$out.tmp" "$out"
echo run >>"$HOME/probe.runs"
if [ -f "$HOME/probe.session" ] && [ -n "${TIMORA_LAUNCHER_FD:-}" ]; then
    # A line at a time; the end a second after the rest, once the desktop runs.
    while read -r line; do
        if [ "$line" != end ]; then
            echo "$line" >&"$TIMORA_LAUNCHER_FD"
            continue
        fi
        sleep 1
        echo end >&"$TIMORA_LAUNCHER_FD"
        read -r answer <&"$TIMORA_LAUNCHER_FD"
        kiosk=$(cat "$HOME/probe.kiosk-uid" 2>/dev/null)
        echo "$answer $(ps -L -o stat= -U "${kiosk:-0}" | grep -vc '^Z')" >>"$HOME/probe.answers"
    done <"$HOME/probe.session"
fi
if [ -f "$HOME/probe.again" ] && [ -n "${TIMORA_LAUNCHER_FD:-}" ]; then
    rm -f "$HOME/probe.again"
    echo again >&"$TIMORA_LAUNCHER_FD"
    exit 0
fi
while [ -e "$HOME/probe.sleep" ]; do
    sleep 0.1
done
status=0
[ -f "$HOME/probe.exit" ] && status=$(cat "$HOME/probe.exit")
exit "$status"
