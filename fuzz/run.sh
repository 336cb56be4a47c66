#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a while.
#   bash fuzz/run.sh [seconds per target, default 60] [target ...]
# Without targets, every fuzz/fuzz_*.cpp is built and run. TRAWL_FUZZ_RUNS=N
# stops each target after N executions instead (the seconds still bound it).
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

# The longest input each target is given. A run costs time in proportion to
# its input, and libFuzzer lets inputs grow to this bound, so a bound far above
# what the program itself accepts only slows a campaign down: command lines and
# templates stay a few times above their 1023-character limit, patterns and
# names above their 255, settings and workstation files above any real one.
max_len() {
    case "$1" in
        fuzz_sizenumber | fuzz_dosattrib) echo 256 ;;
        fuzz_wildcard) echo 2048 ;;
        fuzz_commandline | fuzz_commandtemplate) echo 4096 ;;
        *) echo 16384 ;;
    esac
}

runs=()
[ -n "${TRAWL_FUZZ_RUNS:-}" ] && runs=(-runs="$TRAWL_FUZZ_RUNS")

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    corpora=("$build/corpus/$target")
    [ -d "$top/fuzz/seeds/$target" ] && corpora+=("$top/fuzz/seeds/$target")
    mkdir -p "${corpora[0]}"
    echo "== $target for ${seconds}s"
    "$build/$target" -max_total_time="$seconds" "${runs[@]}" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$(max_len "$target")" -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "${corpora[@]}"
done
