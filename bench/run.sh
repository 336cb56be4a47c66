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
# Times, after one warming walk: the floor (readdir + one fstatat per entry);
# find selecting by name, size and date; find printing size, owner, time and
# path of every file; and three full scans by Trawl (the real window offscreen,
# the real StartScan, the simulated client):
#   a  every file a match, with the owner, size and date tests on
#   b  pattern *.tmp, size over 10 KiB, modified since 2020-01-01
#   c  as a, with the attribute test "Archive Needed"
# then the memory of 1,000,000 result rows. Wall and CPU (user + system)
# seconds are printed; on a shared machine the CPU figures are the steadier.
set -euo pipefail

build=${1:-build}
tree=${2:-/tmp/trawl-bench}
bin=$build/bench
for tool in trawl_makebenchtree trawl_floorwalk trawl_scanbench; do
    [[ -x $bin/$tool ]] || { echo "missing $bin/$tool: build the project first" >&2; exit 1; }
done
if [[ ! -f $tree/workstation.ini ]]; then
    echo "generating $tree ..."
    "$bin/trawl_makebenchtree" "$tree"
fi
volume=$tree/vol1

# run NAME COMMAND...: prints "NAME wall cpu" and keeps them in W_NAME, C_NAME.
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
run() {
    timed "$@"
    printf '%-24s wall %7.2f s   cpu %7.2f s\n' "$1" "${W[$1]}" "${C[$1]}"
}

"$bin/trawl_floorwalk" "$volume" >/dev/null   # warm the caches
files=$("$bin/trawl_floorwalk" "$volume" | awk '{ print $2 }')
echo "tree: $tree, $files files"

run floor "$bin/trawl_floorwalk" "$volume"
run find-name-size-newer find "$volume" -type f -iname '*.tmp' -size +10k -newermt 2020-01-01
run find-printf find "$volume" -type f -printf '%s %u %t %p\n'

for c in a b c; do
    timed "trawl-$c" "$bin/trawl_scanbench" "$tree/workstation.ini" "$c"
    printf '%-24s wall %7.2f s   cpu %7.2f s\n    %s\n' "trawl-$c" "${W[trawl-$c]}" "${C[trawl-$c]}" "$OUT"
done

echo
echo "files of the tree per second of wall time, and ratios (wall; cpu in brackets):"
ratio() { calc "$1 / $2"; }
for name in floor find-name-size-newer find-printf trawl-a trawl-b trawl-c; do
    printf '  %-22s %9.0f files/s\n' "$name" "$(calc "$files / ${W[$name]}")"
done
printf '  trawl-a / floor        %6s (%s)\n' "$(ratio "${W[trawl-a]}" "${W[floor]}")" "$(ratio "${C[trawl-a]}" "${C[floor]}")"
printf '  trawl-a / find-printf  %6s (%s)   goal <= 1\n' "$(ratio "${W[trawl-a]}" "${W[find-printf]}")" "$(ratio "${C[trawl-a]}" "${C[find-printf]}")"
printf '  trawl-b / find-name    %6s (%s)   goal <= 2\n' "$(ratio "${W[trawl-b]}" "${W[find-name-size-newer]}")" "$(ratio "${C[trawl-b]}" "${C[find-name-size-newer]}")"
printf '  trawl-c / trawl-a      %6s (%s)   goal <= 1.5\n' "$(ratio "${W[trawl-c]}" "${W[trawl-a]}")" "$(ratio "${C[trawl-c]}" "${C[trawl-a]}")"

echo
echo "memory of 1,000,000 result rows (goal <= 160 MiB):"
echo "  $("$bin/trawl_scanbench" "$tree/workstation.ini" rows 1000000 2>/dev/null | tail -1)"
