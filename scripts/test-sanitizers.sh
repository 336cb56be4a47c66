#!/usr/bin/env bash
# Installs what is missing; compiles the core library and its tests with
# clang's thread-safety analysis in build-clang/ (or $TRAWL_CLANG_BUILD_DIR);
# builds Trawl with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ (or $TRAWL_SANITIZE_BUILD_DIR), and runs every test there; then
# the client's and the window's tests again with ThreadSanitizer in build-tsan/.
# Ends with CTest's summary line. Any sanitizer report fails the test it
# happens in, any thread-safety warning the build. The folders are kept apart
# from build/, so the build of scripts/test.sh stays as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"

# The locks and thread roles annotated with platform/threadsafety.h are
# checked by clang at compile time: a guarded member touched without its lock
# or off its thread is an error. Compiling is the check, so only the core
# library (the client, where the threads are) and its tests are built, and only
# the test that shows the analysis armed is run.
clang_build=${TRAWL_CLANG_BUILD_DIR:-$top/build-clang}
cmake -S "$top" -B "$clang_build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DTRAWL_THREAD_SAFETY=ON >/dev/null
cmake --build "$clang_build" --parallel "$(nproc)" --target trawl_core trawl_core_tests
(cd "$clang_build" && ctest --output-on-failure -L threadsafety)

build=${TRAWL_SANITIZE_BUILD_DIR:-$top/build-asan}
TRAWL_BUILD_DIR=$build bash "$top/scripts/build.sh" -DTRAWL_SANITIZE=ON
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"

# The simulated client reads ahead on a second thread, and asks a directory
# server on a third: the tests that run the client, the window's walks and the
# directory are built with ThreadSanitizer in build-tsan/
# (or $TRAWL_TSAN_BUILD_DIR) and must run without a report. The scripts that
# run the trawl binary itself, and the hundred-megabyte input files (one
# thread, and many times the memory under this sanitizer), are left to the
# builds above.
tsan=${TRAWL_TSAN_BUILD_DIR:-$top/build-tsan}
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWL_TSAN=ON >/dev/null
cmake --build "$tsan" --parallel --target trawl_core_tests trawl_gui_tests trawl_adversarial_tests trawl_ldap_tests
cd "$tsan"
TSAN_OPTIONS="halt_on_error=1 exitcode=86 second_deadlock_stack=1 suppressions=$top/tests/sanitizer/tsan.supp" \
    ctest --output-on-failure --parallel "$(nproc)" -L 'core|gui|adversarial|ldap' -E '^adversarial_|HundredMegabytes'
