#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo workstation (once) and
# starts Trawl on it: the window when a display is there, offscreen otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
build=${TRAWL_BUILD_DIR:-$top/build}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: Trawl starts on Qt's offscreen platform (close it with Ctrl+C)."
    export QT_QPA_PLATFORM=offscreen
fi
exec "$build/trawl" "$@"
