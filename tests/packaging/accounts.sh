# Sourced by the kiosk checks (run as root): throw-away Unix accounts that play TimoraDesk's
# system account, the kiosk account and a stranger, all named timoratest-*, removed again when
# the calling script ends (remove_test_accounts, called from its exit trap) even after a failure.
# Needs: $work, a folder of mode 0755 owned by root.

test_svc=timoratest-svc            # TimoraDesk's own account (as _timoradesk in the package)
test_kiosk=timoratest-kiosk        # the kiosk account, member of the launch group
test_other=timoratest-other        # an account outside the launch group
test_group=timoratest-launch       # the group that may start the launcher

remove_test_accounts() {
    local user
    for user in "$test_svc" "$test_kiosk" "$test_other"; do
        if getent passwd "$user" >/dev/null; then
            # Whatever still runs as a test account goes first: SIGKILL to every process the
            # account may signal, sent as that account, which no fork outruns.
            for _ in 1 2 3 4 5; do
                setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups \
                    -- kill -KILL -1 2>/dev/null
                sleep 0.1
            done
            userdel "$user" >/dev/null 2>&1
        fi
        getent group "$user" >/dev/null && groupdel "$user" >/dev/null 2>&1
    done
    getent group "$test_group" >/dev/null && groupdel "$test_group" >/dev/null 2>&1
}

# create_test_accounts: the three accounts with homes under $work; the system account's home is
# its own, mode 0700, as the package makes /var/lib/timoradesk.
create_test_accounts() {
    remove_test_accounts
    groupadd --system "$test_group" || return 1
    useradd --system --user-group --home-dir "$work/svc-home" --shell /usr/sbin/nologin \
        "$test_svc" || return 1
    useradd --user-group --groups "$test_group" --home-dir "$work/kiosk-home" --shell /bin/sh \
        "$test_kiosk" || return 1
    useradd --user-group --home-dir "$work/other-home" --shell /bin/sh "$test_other" || return 1
    install -d -o "$test_svc" -g "$test_svc" -m 0700 "$work/svc-home"
    install -d -o "$test_kiosk" -g "$test_kiosk" -m 0700 "$work/kiosk-home"
    install -d -o "$test_other" -g "$test_other" -m 0700 "$work/other-home"
}

# as USER COMMAND...: runs COMMAND as USER with USER's groups, keeping the environment.
as() {
    local user=$1
    shift
    setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"
}

# install_launcher SOURCE TARGET: the launcher as the package installs it, setuid root and
# executable by the launch group alone.
install_launcher() {
    install -o root -g "$test_group" -m 4754 "$1" "$2"
}

# make_test_tree: the root-owned folder the test builds of the launcher run their programs from
# (/run/timoratest, see launcher/CMakeLists.txt), empty but for a skeleton of the kiosk's home
# that holds one file, and a folder that every account may write (drop) for the probes' reports.
test_tree=/run/timoratest
make_test_tree() {
    rm -rf "$test_tree"
    install -d -o root -g root -m 755 "$test_tree" "$test_tree/kiosk-home"
    install -d -m 1777 "$test_tree/drop"
    printf 'kept\n' >"$test_tree/kiosk-home/.kept"
    chmod 644 "$test_tree/kiosk-home/.kept"
}

# home_is_skeleton HOME: HOME holds exactly the skeleton's file, the kiosk account's, and nothing
# else; home_listing shows what it holds.
home_listing() { (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' '); }
home_is_skeleton() {
    [ "$(home_listing "$1")" = "./.kept " ] && [ "$(cat "$1/.kept")" = kept ] &&
        [ "$(stat -c '%U %a' "$1/.kept")" = "$test_kiosk 644" ] &&
        [ "$(stat -c '%U %a' "$1")" = "$test_kiosk 700" ]
}

# live_processes UID: the threads of UID (real or effective user id) that have not ended, each
# on its own: a process whose first thread is a zombie while another runs on has not ended; a
# zombie whose parent has not waited for it yet has.
live_processes() {
    { ps -L -o lwp=,stat= -U "$1"; ps -L -o lwp=,stat= -u "$1"; } | awk '$2 !~ /^Z/ {print $1}' | sort -u
}
