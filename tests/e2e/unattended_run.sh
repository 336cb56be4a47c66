#!/usr/bin/env bash
# Runs "trawl /settings=<file> /autorun /autoclose" on a temporary workstation
# and checks that it writes the expected output file and the window state,
# and that it ends by itself.
#
#   unattended_run.sh <path of the trawl executable>
set -euo pipefail

trawl=${1:?usage: unattended_run.sh <trawl executable>}
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-e2e-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr"; do
        [[ -s $log ]] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

# One NetWare volume with a few files; only the .TXT files match.
volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/SUB/DEEP" "$volume/EMPTY"
printf 'hello' >"$volume/A.TXT"
printf 'ab' >"$volume/Z.TXT"
printf 'data' >"$volume/C.DAT"
printf '123' >"$volume/SUB/B.TXT"
printf '1234567' >"$volume/SUB/DEEP/D.TXT"

cat >"$work/workstation.ini" <<INI
[Volumes]
FS1/SYS=$volume

[Drives]
F=FS1/SYS:
INI

# The settings a user would save: every .TXT file below F:\, its full path
# and size to a comma-separated file with a headings line.
output="$work/out/found.csv"
mkdir -p "$work/out"
cat >"$work/scan.tws" <<TWS
[TRAWL]
cboDrives=F:
cboPattern=*.TXT
cboPath=F:\\
optSizeIgnore=1
optDateIgnore=1
dtpBefore=36892
dtpAfter=36892
dtpExact=36892
chkOutputResults=1
chkOutputHeadings=1
chkOutputFullPath=1
chkOutputSize=1
optOutputSepComma=1
txtOutputFilename=$output
memCommandFileCount=0
lstUsersCount=0
TWS

# A home of its own: the window state goes to $XDG_CONFIG_HOME/trawl.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" NWCLIENT_CONFIG="$work/workstation.ini"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"

status=0
timeout 60 "$trawl" "/settings=$work/scan.tws" /autorun /autoclose >"$work/stdout" 2>"$work/stderr" || status=$?
[[ $status -ne 124 ]] || fail "trawl did not end by itself within 60 seconds"
[[ $status -eq 0 ]] || fail "trawl ended with status $status"

[[ -f $output ]] || fail "no output file $output"
expected=$'Path,Size\r\nF:\\A.TXT,5\r\nF:\\Z.TXT,2\r\nF:\\SUB\\B.TXT,3\r\nF:\\SUB\\DEEP\\D.TXT,7\r\n'
actual=$(cat "$output"; printf x)
actual=${actual%x}
if [[ $actual != "$expected" ]]; then
    echo "expected:" >&2; printf '%s' "$expected" | od -c >&2
    echo "actual:" >&2; printf '%s' "$actual" | od -c >&2
    fail "output file differs"
fi

# Closing the window at the end of the run saved its state, unless a copy
# beside the executable takes that role on this machine.
if [[ ! -e "$(dirname "$trawl")/TRAWL.INI" ]]; then
    state="$XDG_CONFIG_HOME/trawl/TRAWL.INI"
    [[ -f $state ]] || fail "the window state was not written to $state"
    grep -q '^State=0' "$state" || fail "no State key in $state"
    grep -q '^Column3=' "$state" || fail "no column widths in $state"
fi

echo "PASS: unattended run wrote $(($(wc -l <"$output") - 1)) records and closed"
