# Sourced by the packaging checks: counts failed checks and reports them at the end.

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_mode FILE MODE: FILE exists as a regular file with the octal mode MODE.
expect_mode() {
    if [ ! -f "$1" ]; then
        fail "missing: $1"
    elif [ "$(stat -c %a "$1")" != "$2" ]; then
        fail "$1 has mode $(stat -c %a "$1"), expected $2"
    fi
}

# expect_line FILE LINE: FILE holds LINE as a whole line.
expect_line() {
    grep -qxF -- "$2" "$1" || fail "$1 lacks the line: $2"
}

# expect_text TEXT NEEDLE WHAT: TEXT contains NEEDLE.
expect_text() {
    case "$1" in
        *"$2"*) ;;
        *) fail "$3 lacks: $2" ;;
    esac
}

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

# gone PID: the process has ended (a zombie that nobody has waited for yet counts as ended).
gone() {
    local state
    state=$(ps -o stat= -p "$1") || return 0
    [[ $state == Z* ]]
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
