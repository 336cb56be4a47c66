#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a while.
#   bash fuzz/run.sh [seconds per target, default 60] [target ...]
# Without targets, every fuzz/fuzz_*.cpp is built and run.
# New inputs are kept in build-fuzz/corpus/<target>, crashes in build-fuzz/artifacts/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAWL_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in "$top"/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTRAWL_FUZZ=ON -DTRAWL_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    corpora=("$build/corpus/$target")
    [ -d "$top/fuzz/seeds/$target" ] && corpora+=("$top/fuzz/seeds/$target")
    mkdir -p "${corpora[0]}"
    echo "== $target for ${seconds}s"
    "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "${corpora[@]}"
done
