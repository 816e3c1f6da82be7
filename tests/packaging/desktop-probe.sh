#!/bin/sh
# Started by the test build of timoradesk-launch in place of the kiosk's desktop: writes what it
# was given (ids, groups, environment, the display's cookie file) to desktop.out in the folder
# /run/timoratest/drop, then sleeps until it is ended.
out=/run/timoratest/drop/desktop.out
{
    echo "uid=$(id -u) gid=$(id -g) groups=$(id -G)"
    echo "pwd=$(pwd)"
    echo "xauthority=$(stat -c '%U %a' "${XAUTHORITY:-/nonexistent}" 2>&1)"
    echo "--- environment"
    env | sort
} >"$out.tmp" 2>&1
mv "$out.tmp" "$out"
exec sleep 1000
