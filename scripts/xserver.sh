# Sourced by the scripts: starts a virtual X server with a window manager and a tray host,
# and stops them again when the calling script ends.
# After `start_virtual_x`, $XDISPLAY names the display.

x_pids=()

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

# start_virtual_x [Xvfb|Xephyr]
start_virtual_x() {
    local server=${1:-Xvfb} n
    for n in $(seq 99 -1 60); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    XDISPLAY=":$n"
    if [ "$server" = Xephyr ]; then
        Xephyr "$XDISPLAY" -screen 1024x768 -title "TimoraDesk (nested)" -nolisten tcp -br \
            >/dev/null 2>&1 &
    else
        Xvfb "$XDISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    fi
    x_pids+=($!)
    local i
    for i in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "the X server $XDISPLAY did not start" >&2; return 1; }
    DISPLAY="$XDISPLAY" openbox >/dev/null 2>&1 &
    x_pids+=($!)
    DISPLAY="$XDISPLAY" trayer --edge bottom --align right --widthtype request --height 24 \
        --SetDockType true --transparent false >/dev/null 2>&1 &
    x_pids+=($!)
    # Wait until the window manager has taken the screen.
    for i in $(seq 50); do
        DISPLAY="$XDISPLAY" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
        sleep 0.1
    done
}
