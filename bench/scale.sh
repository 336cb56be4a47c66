#!/usr/bin/env bash
# The scale run: a workstation of about 1,000,000 files, scanned by Trawl.
#
#   bench/scale.sh [BUILD_DIR] [TREE_DIR]
#
# BUILD_DIR (default: build) must hold bench/trawl_makebenchtree and
# bench/trawl_scanbench. TREE_DIR (default: /tmp/trawl-bench-1m) is generated
# once: 53,125 folders of files below 10,417 upper ones, about 1,040,000 sparse
# files in all (some minutes; about 4 GiB of inodes, no data blocks).
#
# Runs case a (every file a match: 1,000,000 result rows, the owner, size and
# date tests on) and case b (a selective search), each once, and prints per
# case the files, folders and matches, the scan's wall and CPU seconds, the
# peak resident memory of the process, and the longest time the event loop
# went unserved during the scan.
set -euo pipefail

build=${1:-build}
tree=${2:-/tmp/trawl-bench-1m}
bin=$build/bench
for tool in trawl_makebenchtree trawl_scanbench; do
    [[ -x $bin/$tool ]] || { echo "missing $bin/$tool: build the project first" >&2; exit 1; }
done
if [[ ! -f $tree/workstation.ini ]]; then
    echo "generating $tree ..."
    "$bin/trawl_makebenchtree" "$tree" 17 25 25 5
fi

# One walk of the tree first, so both cases start with warm caches.
find "$tree/vol1" -xdev >/dev/null

for case in a b; do
    line=$("$bin/trawl_scanbench" "$tree/workstation.ini" "$case" 2>/dev/null | tail -1)
    echo "$line" | awk '{
        for (i = 1; i < NF; i += 2) v[$i] = $(i + 1)
        printf "case %s: %d files, %d folders, %d matches, %d errors\n", v["case"], v["files"], v["folders"], v["matches"], v["errors"]
        printf "    scan %.1f s wall, %.1f s cpu (%d files/s); peak memory %.0f MiB\n", v["wall_s"], v["cpu_s"], v["files_per_s"], v["peak_rss_mib"]
        printf "    longest gap between message pumps %.1f ms (%d pumps seen)\n", v["longest_gap_ms"], v["pumps"]
    }'
done
