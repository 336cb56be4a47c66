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

mkdir "$folder/db"
cat >"$folder/slapd.conf" <<EOF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/nis.schema
include /etc/ldap/schema/inetorgperson.schema
modulepath /usr/lib/ldap
moduleload back_mdb
pidfile $folder/slapd.pid
argsfile $folder/slapd.args
database mdb
maxsize 104857600
suffix "$base"
directory $folder/db
access to * by * read
EOF
/usr/sbin/slapadd -q -f "$folder/slapd.conf" -l "$top/scripts/demo-ldap.ldif"

# A free port: one nobody answers on, tried until the server takes it.
port_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for attempt in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 40000))
    port_answers "$port" && continue
    "$slapd" -f "$folder/slapd.conf" -h "ldap://127.0.0.1:$port/" -d 0 >"$folder/slapd.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
        port_answers "$port" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    port_answers "$port" && break
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
done
[[ -n $pid ]] || { echo "demo-ldap: slapd did not start:" >&2; cat "$folder/slapd.log" >&2; exit 1; }
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
