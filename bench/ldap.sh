#!/usr/bin/env bash
# Owners from a directory server against the hand-written directory:
#
#   bench/ldap.sh [BUILD_DIR] [TREE_DIR [FOLDERS_PER_LEVEL...]]
#
# BUILD_DIR (default: build) must hold bench/trawl_makebenchtree and
# bench/trawl_scanbench. TREE_DIR (default: /tmp/trawl-bench, the tree of
# bench/run.sh) is generated once when it has no workstation.ini, with the
# given folders per level when there are any (e.g. "12 20" for a small tree).
#
# The tree's [Directory] becomes an LDIF (uidNumber = object ID), loaded into
# a private slapd on a free loopback port in a temporary folder, stopped at
# the end. Then scan a of bench/run.sh (every file a match, owner, size and
# date tests on, so every file's owner is named) runs on the tree's own
# workstation.ini and on a copy whose [Directory] is replaced by [LDAP], in
# turns (BENCH_TURNS, 3 by default): the scan's own wall and CPU seconds as
# trawl_scanbench measures them (from Start to the end of the walk), their
# medians and ratio, with the goal.
set -euo pipefail

build=${1:-build}
tree=${2:-/tmp/trawl-bench}
shift $(($# > 2 ? 2 : $#))
bin=$build/bench
for tool in trawl_makebenchtree trawl_scanbench; do
    [[ -x $bin/$tool ]] || { echo "missing $bin/$tool: build the project first" >&2; exit 1; }
done
slapd=/usr/sbin/slapd
# shellcheck source=../scripts/private-slapd.sh
. "$(dirname "$0")/../scripts/private-slapd.sh"
[[ -x $slapd ]] || { echo "missing $slapd (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [[ ! -f $tree/workstation.ini ]]; then
    echo "generating $tree ..."
    "$bin/trawl_makebenchtree" "$tree" "$@"
fi

base="dc=bench,dc=example"
folder=$(mktemp -d "${TMPDIR:-/tmp}/trawl-bench-ldap.XXXXXX")
pid=
finish() {
    if [[ -n $pid ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$folder"
}
trap finish EXIT

# [Directory] lines (containers come before what they hold) as LDIF.
awk -v base="$base" '
    function attr(class) {
        if (class == "Organization") return "o"
        if (class == "Organizational Unit") return "ou"
        if (class == "Country") return "c"
        if (class == "Locality") return "l"
        return "cn"
    }
    function number(text,    value, i, digit) {   # decimal, 0x or $ hexadecimal
        if (text ~ /^(0[xX]|\$)/) {
            sub(/^(0[xX]|\$)/, "", text); value = 0
            for (i = 1; i <= length(text); ++i) {
                digit = index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
                value = value * 16 + digit
            }
            return value
        }
        return text + 0
    }
    BEGIN { print "dn: " base; print "objectClass: dcObject"; print "objectClass: organization"
            print "dc: bench"; print "o: bench"; print "" }
    /^\[/ { inside = tolower($0) ~ /^\[directory\]/; next }
    !inside || !/=/ { next }
    {
        name = substr($0, 1, index($0, "=") - 1)
        rest = substr($0, index($0, "=") + 1)
        split(rest, parts, ","); class = parts[1]; gsub(/^ +| +$/, "", class)
        id = parts[2]; gsub(/ /, "", id)
        classOf[toupper(name)] = class
        n = split(name, c, ".")
        dn = base
        for (k = n; k >= 2; --k) {
            tail = c[k]; for (j = k + 1; j <= n; ++j) tail = tail "." c[j]
            dn = attr(classOf[toupper(tail)]) "=" c[k] "," dn
        }
        dn = attr(class) "=" c[1] "," dn
        print "dn: " dn
        if (class == "User") {
            print "objectClass: inetOrgPerson"; print "objectClass: posixAccount"
            print "cn: " c[1]; print "sn: " c[1]; print "uid: " tolower(c[1])
            print "uidNumber: " number(id); print "gidNumber: 100"; print "homeDirectory: /home/" tolower(c[1])
        } else if (class == "NCP Server") {
            print "objectClass: device"; print "cn: " c[1]
        } else if (class == "Organization") {
            print "objectClass: organization"; print "o: " c[1]
        } else {
            print "objectClass: organizationalUnit"; print "ou: " c[1]
        }
        print ""
    }' "$tree/workstation.ini" >"$folder/directory.ldif"

start_private_slapd "$folder" "$base" "$folder/directory.ldif" "$slapd"

ldap_ini="$folder/workstation-ldap.ini"
awk -v uri="ldap://127.0.0.1:$port" -v base="$base" '
    /^\[/ { skipping = tolower($0) ~ /^\[directory\]/
            if (skipping) { print "[LDAP]"; print "URI=" uri; print "Base=" base; print ""; next } }
    !skipping { print }' "$tree/workstation.ini" >"$ldap_ini"

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# scan INI: prints "wall cpu matches" of one scan a (the scan itself, from the
# click on Start to its end, as trawl_scanbench measures it).
scan() {
    "$bin/trawl_scanbench" "$1" a 2>/dev/null | tail -1 |
        awk '{ for (i = 1; i < NF; ++i) v[$i] = $(i + 1); print v["wall_s"], v["cpu_s"], v["matches"] }'
}

"$bin/trawl_scanbench" "$tree/workstation.ini" a >/dev/null 2>&1   # warm the caches
turns=${BENCH_TURNS:-3}
hand_wall=() hand_cpu=() ldap_wall=() ldap_cpu=()
for ((turn = 0; turn < turns; ++turn)); do
    read -r wall cpu hand_matches < <(scan "$tree/workstation.ini")
    hand_wall+=("$wall") hand_cpu+=("$cpu")
    read -r wall cpu ldap_matches < <(scan "$ldap_ini")
    ldap_wall+=("$wall") ldap_cpu+=("$cpu")
done
[[ $hand_matches == "$ldap_matches" ]] ||
    echo "warning: $hand_matches matches with [Directory], $ldap_matches with [LDAP]" >&2
hw=$(printf '%s\n' "${hand_wall[@]}" | median) hc=$(printf '%s\n' "${hand_cpu[@]}" | median)
lw=$(printf '%s\n' "${ldap_wall[@]}" | median) lc=$(printf '%s\n' "${ldap_cpu[@]}" | median)
echo "scan a of $tree ($hand_matches matches), $turns turns, medians:"
printf '  [Directory]             wall %7.3f s   cpu %7.3f s\n' "$hw" "$hc"
printf '  [LDAP] (slapd)          wall %7.3f s   cpu %7.3f s\n' "$lw" "$lc"
printf '  [LDAP] / [Directory]    %6s (cpu %s)   goal <= 1.1\n' "$(calc "$lw / $hw")" "$(calc "$lc / $hc")"
