#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo workstation (once) and
# starts Trawl on it: the window when a display is there. Without a display,
# and without arguments, it runs the demo's job unattended instead (every file
# of drive H with owner, size and dates to build/demo/results.csv), shows the
# first rows and exits with the run's status. Arguments go to trawl as they are.
# Delete build/demo/workstation.ini to have the demo made afresh; set
# NWCLIENT_CONFIG to start Trawl on a workstation file of your own instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
build=${TRAWL_BUILD_DIR:-$top/build}
demo=$build/demo
"$build/trawl_makedemo" "$demo"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" || $# -gt 0 || -n "${NWCLIENT_CONFIG:-}" ]]; then
    export NWCLIENT_CONFIG=${NWCLIENT_CONFIG:-$demo/workstation.ini}
    exec "$build/trawl" "$@"
fi

results=$demo/results.csv
echo "No display: Trawl runs the demo's job unattended: $build/trawl /settings=$demo/demo.tws /autorun /autoclose"
rm -f "$results"
set +e
NWCLIENT_CONFIG=$demo/workstation.ini "$build/trawl" "/settings=$demo/demo.tws" /autorun /autoclose
status=$?
set -e
if [[ -f $results ]]; then
    echo "The first rows of the results:"
    head -n 6 "$results" | tr -d '\r'
    echo "All $(($(wc -l <"$results") - 1)) rows are in $results"
fi
echo "Exit status $status (0: no errors, 1: rows on the Errors page, 2: no scan ran, 3: stopped)."
exit "$status"
