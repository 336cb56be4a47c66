#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo workstation (once) and
# starts Trawl on it: the window when a display is there, offscreen otherwise.
# Delete build/demo/workstation.ini to have the demo made afresh; set
# NWCLIENT_CONFIG to start Trawl on a workstation file of your own instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
build=${TRAWL_BUILD_DIR:-$top/build}
"$build/trawl_makedemo" "$build/demo"
export NWCLIENT_CONFIG=${NWCLIENT_CONFIG:-$build/demo/workstation.ini}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: Trawl starts on Qt's offscreen platform (close it with Ctrl+C)."
    export QT_QPA_PLATFORM=offscreen
fi
exec "$build/trawl" "$@"
