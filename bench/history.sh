#!/usr/bin/env bash
# The history's cost, on the benchmark tree and the scale tree:
#
#   bench/history.sh [BUILD_DIR] [TREE_DIR] [SCALE_TREE_DIR]
#
# BUILD_DIR (default: build) must hold trawl and bench/trawl_makebenchtree;
# the trees (defaults /tmp/trawl-bench and /tmp/trawl-bench-1m) are made as
# bench/run.sh and bench/scale.sh make them when missing. For each tree the
# real binary runs unattended (every file's path, size and owner to a file):
# without the history, then recording a first run, then an unchanged second
# run, then a third after 1% of the files changed (size, date, owner; some
# added, some removed) with the changes-only output; the tree is put back as
# it was afterwards. Printed beside each goal: the time recording adds, the
# database's bytes per file, its growth per run, and the time and peak memory
# the comparison adds.
set -euo pipefail

build=${1:-build}
tree=${2:-/tmp/trawl-bench}
scale=${3:-/tmp/trawl-bench-1m}
for tool in trawl bench/trawl_makebenchtree; do
    [[ -x $build/$tool ]] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done
[[ -f $tree/workstation.ini ]] || "$build/bench/trawl_makebenchtree" "$tree" >/dev/null
[[ -f $scale/workstation.ini ]] || "$build/bench/trawl_makebenchtree" "$scale" 17 25 25 5 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-history-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
calc() { awk "BEGIN { printf \"%.2f\", $1 }"; }

# run TREE NAME KEY=VALUE...: one unattended run; sets WALL (s) and RSS (KiB).
run() {
    local tree=$1 name=$2
    shift 2
    {
        printf '[TRAWL]\ncboDrives=F:\ncboPattern=*.*\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\n'
        printf 'dtpBefore=36892\ndtpAfter=36892\ndtpExact=36892\nchkOutputResults=1\nchkOutputFullPath=1\n'
        printf 'chkOutputSize=1\nchkOutputOwner=1\noptOutputSepComma=1\ntxtOutputFilename=%s\n' "$work/$name.csv"
        printf 'memCommandFileCount=0\nlstUsersCount=0\n'
        printf '%s\n' "$@"
    } >"$work/$name.tws"
    local start=$EPOCHREALTIME
    env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" NWCLIENT_CONFIG="$tree/workstation.ini" \
        QT_QPA_PLATFORM=offscreen /usr/bin/time -o "$work/usage" -f '%M' \
        "$build/trawl" "/settings=$work/$name.tws" /autorun /autoclose >"$work/$name.out" 2>/dev/null || true
    WALL=$(calc "$EPOCHREALTIME - $start")
    RSS=$(tail -1 "$work/usage")
}

# Changes 1% of the files: a third grow (and get a new date), a third are
# removed (kept aside), a third get a sibling; undo puts everything back.
change_one_percent() {
    local volume=$1
    find "$volume" -type f | awk 'NR % 100 == 7' >"$work/changed.list"
    local i=0
    mkdir -p "$work/aside"
    while IFS= read -r file; do
        case $((i % 3)) in
            0) stat -c '%s %Y' "$file" >>"$work/grown.list"; printf '%s\n' "$file" >>"$work/grown.list"
               truncate -s +1000 "$file"; touch -d '2025-06-01' "$file" ;;
            1) mv "$file" "$work/aside/$i"; printf '%s\n' "$file" >>"$work/removed.list" ;;
            2) : >"$file.new-sibling"; printf '%s\n' "$file.new-sibling" >>"$work/added.list" ;;
        esac
        i=$((i + 1))
    done <"$work/changed.list"
    CHANGED=$i
}
undo_changes() {
    if [[ -f $work/grown.list ]]; then
        while IFS=' ' read -r size mtime && IFS= read -r file; do
            truncate -s "$size" "$file"; touch -d "@$mtime" "$file"
        done <"$work/grown.list"
    fi
    local i=0
    while IFS= read -r file; do
        case $((i % 3)) in 1) mv "$work/aside/$i" "$file" ;; esac
        i=$((i + 1))
    done <"$work/changed.list"
    [[ -f $work/added.list ]] && xargs -d '\n' rm -f <"$work/added.list"
    rm -f "$work"/{grown,removed,added,changed}.list
}

bench_tree() {
    local tree=$1 label=$2
    rm -rf "$work/data"
    local files
    files=$(find "$tree/vol1" -type f | wc -l)
    echo "== $label: $tree, $files files"
    run "$tree" plain
    local plain=$WALL plain_rss=$RSS
    run "$tree" first chkHistory=1
    local first=$WALL
    local db=$work/data/trawl/history.sqlite
    local size1 size2 size3
    size1=$(stat -c %s "$db")
    run "$tree" second chkHistory=1
    local second=$WALL
    size2=$(stat -c %s "$db")
    trap 'undo_changes; rm -rf "$work"' EXIT
    change_one_percent "$tree/vol1"
    run "$tree" plain-changed
    local plain_changed=$WALL plain_changed_rss=$RSS
    run "$tree" third chkHistory=1 chkOutputChange=1 chkOutputChangesOnly=1
    local third=$WALL third_rss=$RSS
    size3=$(stat -c %s "$db")
    undo_changes
    trap 'rm -rf "$work"' EXIT
    printf '  unattended run without history          %7.2f s\n' "$plain"
    printf '  first recorded run                      %7.2f s   adds %5.1f%%   goal <= 15%%\n' "$first" \
        "$(calc "($first - $plain) * 100 / $plain")"
    printf '  unchanged second run                    %7.2f s   adds %5.1f%%   goal <= 15%%\n' "$second" \
        "$(calc "($second - $plain) * 100 / $plain")"
    printf '  database after the first run            %7.1f bytes a file          goal <= 64\n' \
        "$(calc "$size1 / $files")"
    printf '  growth by the unchanged second run       %7.3f MiB                 goal <= 1\n' \
        "$(calc "($size2 - $size1) / 1048576")"
    printf '  growth after %d files changed (1%%)  %7.3f MiB, limit %.3f MiB    goal: within the limit\n' "$CHANGED" \
        "$(calc "($size3 - $size2) / 1048576")" "$(calc "1 + $CHANGED * 128 / 1048576")"
    printf '  comparing (changes only): %d lines, adds %6.2f s                  goal <= 2 s\n' \
        "$(wc -l <"$work/third.csv")" "$(calc "$third - $plain_changed")"
    printf '  peak memory %6.0f MiB, without history %6.0f MiB: adds %5.1f MiB  goal <= 32\n' \
        "$(calc "$third_rss / 1024")" "$(calc "$plain_changed_rss / 1024")" \
        "$(calc "($third_rss - $plain_changed_rss) / 1024")"
}

find "$tree/vol1" -xdev >/dev/null
bench_tree "$tree" "benchmark tree"
if [[ ${HISTORY_BENCH_SCALE:-1} == 1 ]]; then
    find "$scale/vol1" -xdev >/dev/null
    bench_tree "$scale" "scale tree"
fi
