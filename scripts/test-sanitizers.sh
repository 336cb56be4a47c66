#!/usr/bin/env bash
# Installs what is missing, builds Trawl with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ (or $TRAWL_SANITIZE_BUILD_DIR), and
# runs every test there; then the client's and the window's tests again with
# ThreadSanitizer in build-tsan/. Ends with CTest's summary line. Any sanitizer report
# fails the test it happens in. The folder is kept apart from build/, so the
# build of scripts/test.sh stays as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
build=${TRAWL_SANITIZE_BUILD_DIR:-$top/build-asan}
TRAWL_BUILD_DIR=$build bash "$top/scripts/build.sh" -DTRAWL_SANITIZE=ON
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"

# The simulated client reads ahead on a second thread: the tests that run the
# client and the window's walks are built with ThreadSanitizer in build-tsan/
# (or $TRAWL_TSAN_BUILD_DIR) and must run without a report. The scripts that
# run the trawl binary itself, and the hundred-megabyte input files (one
# thread, and many times the memory under this sanitizer), are left to the
# builds above.
tsan=${TRAWL_TSAN_BUILD_DIR:-$top/build-tsan}
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWL_TSAN=ON >/dev/null
cmake --build "$tsan" --parallel --target trawl_core_tests trawl_gui_tests trawl_adversarial_tests
cd "$tsan"
TSAN_OPTIONS="halt_on_error=1 exitcode=86 second_deadlock_stack=1 suppressions=$top/tests/sanitizer/tsan.supp" \
    ctest --output-on-failure --parallel "$(nproc)" -L 'core|gui|adversarial' -E '^adversarial_|HundredMegabytes'
