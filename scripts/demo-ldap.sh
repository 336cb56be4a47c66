#!/usr/bin/env bash
# The demo with its directory on a directory server: builds, makes the demo
# workstation (as scripts/run.sh does), starts a private OpenLDAP server on a
# free loopback port from a temporary folder, loaded with the organisation of
# scripts/demo-ldap.ldif, and starts Trawl on a copy of the demo workstation
# whose [Directory] is replaced by [LDAP]. The server is stopped, and its
# folder removed, when Trawl ends. A system-wide slapd is left alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
build=${TRAWL_BUILD_DIR:-$top/build}
"$build/trawl_makedemo" "$build/demo"

slapd=/usr/sbin/slapd
# shellcheck source=private-slapd.sh
. "$top/scripts/private-slapd.sh"
[[ -x $slapd ]] || { echo "demo-ldap: $slapd is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
base="dc=acme,dc=example"
folder=$(mktemp -d "${TMPDIR:-/tmp}/trawl-demo-ldap.XXXXXX")
pid=
finish() {
    if [[ -n $pid ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$folder"
}
trap finish EXIT
trap 'exit 130' INT TERM

start_private_slapd "$folder" "$base" "$top/scripts/demo-ldap.ldif" "$slapd"
echo "Directory server: ldap://127.0.0.1:$port/ (process $pid), base $base"

# The demo workstation with [LDAP] in place of [Directory], beside the
# original so that its relative host folders still hold.
workstation="$build/demo/workstation-ldap.ini"
awk -v uri="ldap://127.0.0.1:$port" -v base="$base" '
    /^\[/ { skipping = ($0 ~ /^\[[Dd][Ii][Rr][Ee][Cc][Tt][Oo][Rr][Yy]\]/) }
    /^\[[Dd][Ii][Rr][Ee][Cc][Tt][Oo][Rr][Yy]\]/ {
        print "[LDAP]"; print "URI=" uri; print "Base=" base; print "Timeout=5"; print ""; next }
    !skipping { print }' "$build/demo/workstation.ini" >"$workstation"

export NWCLIENT_CONFIG=$workstation
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: Trawl starts on Qt's offscreen platform (close it with Ctrl+C)."
    export QT_QPA_PLATFORM=offscreen
fi
"$build/trawl" "$@"
