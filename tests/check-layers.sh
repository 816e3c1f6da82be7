#!/usr/bin/env bash
# The layers of the code as the build links them: every project header a source file includes
# lies in its own folder or in a folder of a library that its library links (README.md, "How the
# code is laid out"). A header of a layer above, or of a library the folder does not link, fails.
# Usage: check-layers.sh SOURCE_ROOT
set -uo pipefail
root=$1

# folder: the folders whose headers it may include (its own first).
declare -A allowed=(
    [core/rules]="core/rules"
    [core/services]="core/services core/rules"
    [core/settings]="core/settings core/services core/rules"
    [core/widgets]="core/widgets core/services core/rules"
    [core/linux]="core/linux core/services core/rules"
    [room]="room core/rules"
    [logon]="logon core/widgets core/services core/rules"
    [session]="session core/widgets core/services core/rules"
    [admin]="admin core/widgets core/services core/rules"
    [about]="about core/widgets core/services core/rules"
    [launcher]="launcher"
)
# Single files that belong to another library than their folder's, or headers a folder shares
# without linking the library around them.
declare -A extra=(
    # The command timoradesk-room links the settings files it imports and exports.
    [room/main.cpp]="core/settings"
    # The launcher and the program speak the one protocol, a plain header.
    [launcher/timoradesk-launch.cpp]="core/linux/LauncherProtocol.h"
)

failures=0
for folder in "${!allowed[@]}"; do
    for file in "$root/$folder"/*.cpp "$root/$folder"/*.h; do
        [ -f "$file" ] || continue
        relative=${file#"$root"/}
        while IFS= read -r header; do
            # Only the project's own headers: a path below the source root.
            [ -f "$root/$header" ] || continue
            ok=0
            for place in ${allowed[$folder]}; do
                [ "$(dirname "$header")" = "$place" ] && ok=1
            done
            for place in ${extra[$relative]:-}; do
                [ "$(dirname "$header")" = "$place" ] || [ "$header" = "$place" ] && ok=1
            done
            if [ $ok -eq 0 ]; then
                echo "FAIL: $relative includes $header, a layer its library does not link"
                failures=$((failures + 1))
            fi
        done < <(sed -n 's/^#include "\(.*\)"/\1/p' "$file")
    done
done
[ $failures -eq 0 ] || exit 1
echo "every include keeps to its layer"
