# Sourced by the scripts that need a private OpenLDAP server (the LDAP demo,
# the LDAP benchmark). start_private_slapd FOLDER BASE LDIF [SLAPD] loads LDIF
# into a new database in FOLDER and starts slapd on a free loopback port; it
# sets `port` and `pid`, and stops the script with slapd's log when the server
# does not start. The caller stops it by its process ID.
start_private_slapd() {
    local folder=$1 base=$2 ldif=$3 slapd=${4:-/usr/sbin/slapd}
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
    /usr/sbin/slapadd -q -f "$folder/slapd.conf" -l "$ldif"

    # A free port: one nobody answers on, tried until the server takes it.
    port_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
    pid=
    for _ in 1 2 3 4 5 6 7 8 9 10; do
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
    [[ -n $pid ]] || { echo "slapd did not start:" >&2; cat "$folder/slapd.log" >&2; exit 1; }
}
