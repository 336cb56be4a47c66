#!/usr/bin/env bash
# The floors of the house, lowest first. A source of a folder includes only
# its own folder and those below it; the window's method files (frm_*) and the
# Qt adaptors (qt_*) are the exceptions, as they join a subsystem to the window.
# Prints every include that runs upward and exits 1 when there is one.
set -euo pipefail
top=${1:?usage: check_layers.sh SOURCE_ROOT}
floors=(platform netclient scan output history settings app)

floor_of() {
    local i
    for i in "${!floors[@]}"; do
        [[ ${floors[$i]} == "$1" ]] && { echo "$i"; return; }
    done
    echo -1
}

faults=0
for folder in "${floors[@]}"; do
    own=$(floor_of "$folder")
    [[ -d $top/$folder ]] || continue
    for file in "$top/$folder"/*.h "$top/$folder"/*.cpp; do
        [[ -e $file ]] || continue
        name=$(basename "$file")
        [[ $name == frm_* || $name == qt_* ]] && continue
        while IFS= read -r line; do
            number=${line%%:*}
            included=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
            target=$(floor_of "${included%%/*}")
            if (( target > own )); then
                echo "$folder/$name:$number: includes $included from a higher floor"
                faults=1
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done
done
exit "$faults"
