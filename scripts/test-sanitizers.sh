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
