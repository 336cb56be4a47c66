#!/usr/bin/env bash
# Installs what is missing, builds Trawl with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ (or $TRAWL_SANITIZE_BUILD_DIR), and
# runs every test there; ends with CTest's summary line. Any sanitizer report
# fails the test it happens in. The folder is kept apart from build/, so the
# build of scripts/test.sh stays as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
build=${TRAWL_SANITIZE_BUILD_DIR:-$top/build-asan}
TRAWL_BUILD_DIR=$build bash "$top/scripts/build.sh" -DTRAWL_SANITIZE=ON
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"

# The simulated client reads ahead on a second thread: the client's tests and
# the window's walks, built with ThreadSanitizer in build-tsan/ (or
# $TRAWL_TSAN_BUILD_DIR), must run without a report.
tsan=${TRAWL_TSAN_BUILD_DIR:-$top/build-tsan}
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWL_TSAN=ON >/dev/null
cmake --build "$tsan" --parallel --target trawl_core_tests trawl_gui_tests
cd "$tsan"
TSAN_OPTIONS="halt_on_error=1 exitcode=86 second_deadlock_stack=1" \
    ctest --output-on-failure --parallel "$(nproc)" -R '^(Client|Walker|Scan|StartScan|Writers)'
