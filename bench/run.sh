#!/usr/bin/env bash
# The scan benchmark, in one run on one tree:
#
#   bench/run.sh [BUILD_DIR] [TREE_DIR]
#
# BUILD_DIR (default: build) must hold bench/trawl_makebenchtree,
# bench/trawl_floorwalk and bench/trawl_scanbench (cmake --build BUILD_DIR).
# TREE_DIR (default: /tmp/trawl-bench) is generated once: about 200,000 sparse
# files in 10,416 folders, with the workstation.ini that serves it as F:.
#
# Times, after one warming walk, each the median of BENCH_ROUNDS rounds (3 by
# default) run in turns: the floor (readdir + one fstatat per entry);
# find selecting by name, size and date; find printing size, owner, time and
# path of every file; and three full scans by Trawl (the real window offscreen,
# the real StartScan, the simulated client):
#   a  every file a match, with the owner, size and date tests on
#   b  pattern *.tmp, size over 10 KiB, modified since 2020-01-01
#   c  as a, with the attribute test "Archive Needed"
# and a and c again on a tree of the same shape whose every file carries
# Samba's DOS attributes (a version-5 user.DOSATTRIB; TREE_DIR-samba),
# then the memory of 1,000,000 result rows, and the real trawl binary in an
# unattended run (/settings= /autorun /autoclose, the whole process, the
# half-second wait before an automatic scan included) writing the path, size,
# owner and modified date of every file, against find writing the same fields
# to a file: run in turns, the median of each. Wall and CPU (user + system)
# seconds are printed; on a shared machine the CPU figures are the steadier.
set -euo pipefail

build=${1:-build}
tree=${2:-/tmp/trawl-bench}
bin=$build/bench
for tool in trawl_makebenchtree trawl_floorwalk trawl_scanbench ../trawl; do
    [[ -x $bin/$tool ]] || { echo "missing $bin/$tool: build the project first" >&2; exit 1; }
done
if [[ ! -f $tree/workstation.ini ]]; then
    echo "generating $tree ..."
    "$bin/trawl_makebenchtree" "$tree"
fi
samba_tree=$tree-samba
if [[ ! -f $samba_tree/workstation.ini ]]; then
    echo "generating $samba_tree ..."
    "$bin/trawl_makebenchtree" --samba "$samba_tree"
fi
volume=$tree/vol1

declare -A W C
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }
usage_file=$(mktemp)
trap 'rm -f "$usage_file"' EXIT
# timed NAME COMMAND...: keeps wall and CPU seconds in W[NAME], C[NAME]; the
# command's last line of output in OUT.
timed() {
    local name=$1; shift
    local start=$EPOCHREALTIME
    OUT=$(/usr/bin/time -o "$usage_file" -f '%U %S' "$@" 2>/dev/null | tail -1)
    W[$name]=$(calc "$EPOCHREALTIME - $start")
    C[$name]=$(awk '{ printf "%.2f", $1 + $2 }' "$usage_file")
}

"$bin/trawl_floorwalk" "$volume" >/dev/null   # warm the caches
files=$("$bin/trawl_floorwalk" "$volume" | awk '{ print $2 }')
rounds=${BENCH_ROUNDS:-3}
echo "tree: $tree, $files files; each timing the median of $rounds rounds, run in turns"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# In turns, so that a slow phase of a shared machine falls on every command
# alike; each keeps its walls and CPU times, and the last line of its output.
declare -A WALLS CPUS LAST
names=(floor find-name-size-newer find-printf trawl-a trawl-b trawl-c samba-a samba-c)
measure() {
    case $1 in
        floor) timed "$1" "$bin/trawl_floorwalk" "$volume" ;;
        find-name-size-newer) timed "$1" find "$volume" -type f -iname '*.tmp' -size +10k -newermt 2020-01-01 ;;
        find-printf) timed "$1" find "$volume" -type f -printf '%s %u %t %p\n' ;;
        trawl-*) timed "$1" "$bin/trawl_scanbench" "$tree/workstation.ini" "${1#trawl-}" ;;
        samba-*) timed "$1" "$bin/trawl_scanbench" "$samba_tree/workstation.ini" "${1#samba-}" ;;
    esac
}
for ((round = 0; round < rounds; ++round)); do
    for name in "${names[@]}"; do
        measure "$name"
        WALLS[$name]+="${W[$name]} "
        CPUS[$name]+="${C[$name]} "
        LAST[$name]=$OUT
    done
done
for name in "${names[@]}"; do
    W[$name]=$(printf '%s\n' ${WALLS[$name]} | median)
    C[$name]=$(printf '%s\n' ${CPUS[$name]} | median)
    printf '%-24s wall %7.2f s   cpu %7.2f s   (walls: %s)\n' "$name" "${W[$name]}" "${C[$name]}" "${WALLS[$name]% }"
    if [[ $name == trawl-* || $name == samba-* ]]; then
        printf '    %s\n' "${LAST[$name]}"
    fi
done

echo
echo "files of the tree per second of wall time, and ratios (wall; cpu in brackets):"
ratio() { calc "$1 / $2"; }
for name in floor find-name-size-newer find-printf trawl-a trawl-b trawl-c; do
    printf '  %-22s %9.0f files/s\n' "$name" "$(calc "$files / ${W[$name]}")"
done
printf '  trawl-a / floor        %6s (%s)\n' "$(ratio "${W[trawl-a]}" "${W[floor]}")" "$(ratio "${C[trawl-a]}" "${C[floor]}")"
printf '  trawl-a / find-printf  %6s (%s)   goal <= 0.8\n' "$(ratio "${W[trawl-a]}" "${W[find-printf]}")" "$(ratio "${C[trawl-a]}" "${C[find-printf]}")"
printf '  trawl-b / find-name    %6s (%s)   goal <= 1.5\n' "$(ratio "${W[trawl-b]}" "${W[find-name-size-newer]}")" "$(ratio "${C[trawl-b]}" "${C[find-name-size-newer]}")"
printf '  trawl-c / trawl-a      %6s (%s)   goal <= 1.15\n' "$(ratio "${W[trawl-c]}" "${W[trawl-a]}")" "$(ratio "${C[trawl-c]}" "${C[trawl-a]}")"
printf '  samba-c / samba-a      %6s (%s)   goal <= 1.15\n' "$(ratio "${W[samba-c]}" "${W[samba-a]}")" "$(ratio "${C[samba-c]}" "${C[samba-a]}")"

echo
echo "memory of 1,000,000 result rows (goal <= 100 MiB):"
echo "  $("$bin/trawl_scanbench" "$tree/workstation.ini" rows 1000000 2>/dev/null | tail -1)"

# The real binary, unattended, against find writing the same fields.
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-bench-run-XXXXXX")
trap 'rm -f "$usage_file"; rm -rf "$work"' EXIT
cat >"$work/every-file.tws" <<TWS
[TRAWL]
cboDrives=F:
cboPattern=*.*
cboPath=F:\\
optSizeIgnore=1
optDateIgnore=1
dtpBefore=36892
dtpAfter=36892
dtpExact=36892
chkOutputResults=1
chkOutputFullPath=1
chkOutputSize=1
chkOutputOwner=1
chkOutputModified=1
optOutputSepComma=1
txtOutputFilename=$work/trawl.csv
memCommandFileCount=0
lstUsersCount=0
TWS
trawl_unattended=(env HOME="$work" XDG_CONFIG_HOME="$work/config" NWCLIENT_CONFIG="$tree/workstation.ini"
    QT_QPA_PLATFORM=offscreen "$build/trawl" "/settings=$work/every-file.tws" /autorun /autoclose)
find_same_fields=(bash -c 'find "$1" -type f -printf "%p,%s,%u,%TD\n" >"$2"' find "$volume" "$work/find.csv")
turns=${BENCH_TURNS:-5}
trawl_walls=() find_walls=()
for ((turn = 0; turn < turns; ++turn)); do
    timed unattended-trawl "${trawl_unattended[@]}"
    trawl_walls+=("${W[unattended-trawl]}")
    timed unattended-find "${find_same_fields[@]}"
    find_walls+=("${W[unattended-find]}")
done
trawl_median=$(printf '%s\n' "${trawl_walls[@]}" | median)
find_median=$(printf '%s\n' "${find_walls[@]}" | median)
echo
echo "unattended run of the real binary, every file's path, size, owner and modified date to a file ($turns turns):"
printf '  trawl /settings= /autorun /autoclose   median wall %6.2f s   (%s lines)\n' "$trawl_median" "$(wc -l <"$work/trawl.csv")"
printf '  find -printf > file                    median wall %6.2f s   (%s lines)\n' "$find_median" "$(wc -l <"$work/find.csv")"
printf '  trawl / find           %6s          goal <= 1.0\n' "$(ratio "$trawl_median" "$find_median")"
