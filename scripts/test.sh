#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; ends with CTest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
cd "${TRAWL_BUILD_DIR:-$top/build}"
ctest --output-on-failure --parallel "$(nproc)"
