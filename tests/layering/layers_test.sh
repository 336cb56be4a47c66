#!/usr/bin/env bash
# The layering rule holds for the tree, and the check itself catches an
# include that runs upward (so that a broken check cannot pass silently).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=${1:?usage: layers_test.sh SOURCE_ROOT}

bash "$here/check_layers.sh" "$top"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/platform" "$scratch/scan"
printf '#include "app/tfrmmain.h"\n' >"$scratch/platform/drives.cpp"
printf '#include "app/tfrmmain.h"\n' >"$scratch/scan/frm_walker.cpp"
if report=$(bash "$here/check_layers.sh" "$scratch"); then
    echo "FAIL: an upward include in platform/ was not reported"
    exit 1
fi
[[ $report == "platform/drives.cpp:1: includes app/tfrmmain.h from a higher floor" ]] || {
    echo "FAIL: unexpected report: $report"
    exit 1
}
echo "layering: every include runs down or stays on its floor"
