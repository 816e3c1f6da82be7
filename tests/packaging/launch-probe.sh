#!/bin/sh
# Started by the test build of timoradesk-launch in place of TimoraDesk: writes what it was given
# (ids, groups, environment, open files, signal state, umask, core limit, folder) to probe.out in
# its home; when probe.session exists there, tells the launcher what it holds ("session 0") on
# the launcher's socket; then sleeps while probe.sleep exists there, and exits with the status in
# probe.exit.
out="$HOME/probe.out"
{
    echo "uid=$(id -u) gid=$(id -g) groups=$(id -G)"
    echo "pwd=$(pwd)"
    echo "umask=$(umask)"
    echo "core=$(ulimit -c)"
    echo "nofile=$(ulimit -n)"
    grep -E '^(Uid|Gid|SigBlk|SigIgn|NoNewPrivs):' "/proc/$$/status"
    for fd in /proc/$$/fd/*; do
        echo "fd ${fd##*/} -> $(readlink "$fd")"
    done
    echo "--- environment"
    env | sort
} >"$out.tmp" 2>&1
mv "$out.tmp" "$out"
if [ -f "$HOME/probe.session" ] && [ -n "${TIMORA_LAUNCHER_FD:-}" ]; then
    cat "$HOME/probe.session" >&"$TIMORA_LAUNCHER_FD"
fi
while [ -e "$HOME/probe.sleep" ]; do
    sleep 0.1
done
status=0
[ -f "$HOME/probe.exit" ] && status=$(cat "$HOME/probe.exit")
exit "$status"
