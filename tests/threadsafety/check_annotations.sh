#!/usr/bin/env bash
# The thread-safety analysis is armed: with the flags of TRAWL_THREAD_SAFETY,
# the locks and roles of platform/threadsafety.h used right compile without a
# word, and each slip of annotations_broken.cpp fails to compile with the
# analysis's own error (so that macros expanding to nothing, or a flag lost,
# cannot let the build pass unchecked).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
compiler=${1:?usage: check_annotations.sh COMPILER SOURCE_ROOT [FLAG...]}
top=${2:?usage: check_annotations.sh COMPILER SOURCE_ROOT [FLAG...]}
shift 2
compile=("$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic "$@" -I"$top")

if ! report=$("${compile[@]}" -Werror "$here/annotations_held.cpp" 2>&1); then
    printf 'FAIL: the right use of the locks does not compile cleanly:\n%s\n' "$report"
    exit 1
fi

expected=(
    "reading variable 'm_count' requires holding mutex 'm_mutex'"
    "writing variable 'm_count' requires holding mutex 'm_mutex' exclusively"
    "calling function 'bump' requires holding mutex 'm_mutex' exclusively"
    "writing variable 'm_count' requires holding mutex 'm_mutex' exclusively"
    "mutex 'm_mutex' is still held at the end of function"
    "reading variable 'm_steps' requires holding thread role 'm_worker'"
    "writing the value pointed to by 'm_slot' requires holding mutex 'm_mutex' exclusively"
    "cannot call function 'post' while mutex 'm_mutex' is held"
    "calling function 'bump' requires holding mutex 'm_mutex' exclusively"
)
faults=0
for i in "${!expected[@]}"; do
    case=$((i + 1))
    if report=$("${compile[@]}" -DTRAWL_CASE=$case "$here/annotations_broken.cpp" 2>&1); then
        echo "FAIL: case $case compiled: ${expected[$i]}"
        faults=1
    elif ! grep -qF "error: ${expected[$i]} [-Werror,-Wthread-safety" <<<"$report"; then
        printf 'FAIL: case %d failed without the error "%s":\n%s\n' "$case" "${expected[$i]}" "$report"
        faults=1
    fi
done
(( faults == 0 )) || exit 1
echo "thread safety: the right use compiles, each of ${#expected[@]} slips is an error"
