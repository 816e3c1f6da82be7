# shellcheck shell=bash
# Sourced by scripts/ and tests/packaging/: exit actions that add up instead of replacing one
# another, a private settings sandbox, TimoraV2 settings files with given accounts, and a virtual
# X server with a window manager and a tray host. Works with and without `set -euo pipefail`.

# --- Exit actions ------------------------------------------------------------------------------

exit_actions=()

# on_exit COMMAND: evaluates COMMAND when the script exits. The newest action runs first, so what
# was set up last is taken down first. An EXIT trap set some other way is kept as an action, not
# lost; use on_exit rather than `trap ... EXIT` all the same.
on_exit() {
    local action=$1 current
    current=$(trap -p EXIT)
    if [ -n "$current" ] && [ "$current" != "trap -- 'run_exit_actions' EXIT" ]; then
        eval "set -- $current" # trap -- 'COMMAND' EXIT
        exit_actions=("$3" "${exit_actions[@]}")
    fi
    trap run_exit_actions EXIT
    exit_actions=("$action" "${exit_actions[@]}")
}

# run_exit_actions: the actions of on_exit, newest first, each run even when one before failed.
# Scripts that trap INT and TERM with it run them there and again at the exit, so actions must
# bear running twice.
run_exit_actions() {
    local action
    for action in "${exit_actions[@]}"; do
        eval "$action" || true
    done
}

# --- Sandbox -----------------------------------------------------------------------------------

# make_sandbox [TEMPLATE]: a new folder $sandbox (mktemp -d [TEMPLATE]) holding the exported
# XDG_CONFIG_HOME and a 0700 XDG_RUNTIME_DIR, so that nothing reaches the real user's settings;
# removed when the script exits.
# shellcheck disable=SC2120 # TEMPLATE is optional
make_sandbox() {
    sandbox=$(mktemp -d "$@") || return 1
    on_exit "rm -rf $(printf %q "$sandbox")"
    export XDG_CONFIG_HOME="$sandbox/config" XDG_RUNTIME_DIR="$sandbox/runtime"
    mkdir "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# --- Settings files ----------------------------------------------------------------------------

# write_settings FILE ACCOUNT...: a TimoraV2 settings file whose [SecData] section holds the
# ACCOUNTs in slots 1, 2, … (keys userN pswdN minsN dateN leftN); each ACCOUNT is the one word
# "USER PASSWORD MINUTES DATE LEFT". FILE - writes to standard output; any other FILE gets its
# folder made as needed and mode 0600, as TimoraDesk keeps it.
write_settings() {
    local file=$1 account fields n=0
    shift
    for account in "$@"; do
        read -r -a fields <<<"$account"
        if [ ${#fields[@]} -ne 5 ]; then
            echo "write_settings: '$account' is not USER PASSWORD MINUTES DATE LEFT" >&2
            return 1
        fi
    done
    if [ "$file" != - ]; then
        mkdir -p "$(dirname "$file")" &&
            (umask 077 && write_settings - "$@" >"$file") &&
            chmod 600 "$file"
        return
    fi
    echo "[SecData]"
    for account in "$@"; do
        read -r -a fields <<<"$account"
        n=$((n + 1))
        printf 'user%d=%s\npswd%d=%s\nmins%d=%s\ndate%d=%s\nleft%d=%s\n' "$n" "${fields[0]}" \
            "$n" "${fields[1]}" "$n" "${fields[2]}" "$n" "${fields[3]}" "$n" "${fields[4]}"
    done
}

# --- Virtual X server --------------------------------------------------------------------------

x_pids=()
x_on_exit=0

# start_x_server SERVER [OPTION...]: starts the X server program SERVER (Xvfb, Xephyr) with the
# OPTIONs on the highest free display from :99 down, clear of a desktop's own low numbers, and
# waits until it takes connections. Sets $XDISPLAY. stop_virtual_x ends it, at the latest when
# the script exits.
start_x_server() {
    local server=$1 n pid
    shift
    if [ "$x_on_exit" = 0 ]; then
        on_exit stop_virtual_x
        x_on_exit=1
    fi
    for n in $(seq 99 -1 60); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        XDISPLAY=":$n"
        "$server" "$XDISPLAY" "$@" >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            # Ready when the socket is there and the lock file names this server: another one
            # started at the same moment for the same display may have won it.
            if [ -e "/tmp/.X11-unix/X$n" ] &&
                [ "$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock")" = "$pid" ]; then
                x_pids+=("$pid")
                return 0
            fi
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        # A display lost to another server: the next one; any other failure: give up.
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    echo "the X server ${XDISPLAY:-} did not start" >&2
    return 1
}

# start_virtual_x [Xvfb|Xephyr]: an X server (Xephyr: a window in the current desktop) with
# openbox and a trayer tray at the bottom right, as the programs under test expect a window
# manager and a system tray. Sets $XDISPLAY.
start_virtual_x() {
    if [ "${1:-Xvfb}" = Xephyr ]; then
        start_x_server Xephyr -screen 1024x768 -title "TimoraDesk (nested)" -nolisten tcp -br ||
            return 1
    else
        start_x_server Xvfb -screen 0 1280x800x24 -nolisten tcp || return 1
    fi
    DISPLAY="$XDISPLAY" openbox >/dev/null 2>&1 &
    x_pids+=($!)
    DISPLAY="$XDISPLAY" trayer --edge bottom --align right --widthtype request --height 24 \
        --SetDockType true --transparent false >/dev/null 2>&1 &
    x_pids+=($!)
    # Wait until the window manager has taken the screen.
    for _ in $(seq 50); do
        DISPLAY="$XDISPLAY" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        sleep 0.1
    done
}

# stop_virtual_x: ends what start_x_server and start_virtual_x started and waits for it.
stop_virtual_x() {
    local pid
    for pid in "${x_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${x_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    x_pids=()
}
