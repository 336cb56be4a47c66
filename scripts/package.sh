#!/usr/bin/env bash
# Builds the Debian package build/trawl_<version>-<revision>_amd64.deb with
# CPack from the build in build/ (or $TRAWL_BUILD_DIR): only the program and
# its installed files are brought up to date, nothing is built a second time
# elsewhere. Prints the package's path last.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAWL_BUILD_DIR:-$top/build}
bash "$top/scripts/install-deps.sh"
[[ -f $build/CMakeCache.txt ]] ||
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target trawl trawl_install_files
rm -f "$build"/trawl_*.deb
(cd "$build" && cpack -G DEB -C RelWithDebInfo)
packages=("$build"/trawl_*.deb)
[[ -f ${packages[0]} ]] || { echo "package.sh: CPack made no package in $build" >&2; exit 1; }
echo "${packages[0]}"
