#!/usr/bin/env bash
# The demo workstation end to end: a saved search for every .TXT file on drive
# G writes exactly those files, with their paths and sizes, to the output file.
#
#   demo_output.sh <trawl executable> <trawl_makedemo executable>
set -euo pipefail

trawl=${1:?usage: demo_output.sh <trawl> <trawl_makedemo>}
makedemo=${2:?usage: demo_output.sh <trawl> <trawl_makedemo>}
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-demo-XXXXXX")
trap "rm -rf \"$work\"" EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

"$makedemo" "$work/demo" >/dev/null
data="$work/demo/volumes/fs1-data"
[[ -d $data ]] || fail "the demo has no DATA volume at $data"

cat >"$work/txt.tws" <<'TWS'
[TRAWL]
cboPattern=*.TXT
cboPath=G:\
optSizeIgnore=1
optDateIgnore=1
dtpBefore=40000
dtpAfter=40000
dtpExact=40000
chkOutputResults=1
chkOutputHeadings=1
chkOutputFullPath=1
chkOutputSize=1
optOutputSepComma=1
txtOutputFilename=found.csv
TWS

set +e
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    NWCLIENT_CONFIG="$work/demo/workstation.ini" XDG_CONFIG_HOME="$work/config" \
    timeout 120 "$trawl" "/settings=$work/txt.tws" /autorun /autoclose >"$work/stdout" 2>"$work/stderr")
status=$?
set -e
# The demo holds a few names NetWare cannot hold: each is one errors-list row
# on standard error, and the run ends with status 1.
[[ $status -eq 1 ]] || { cat "$work/stderr" >&2; fail "exit status $status, expected 1"; }

# The file is written relative to the folder chosen in the folder list.
output="$data/found.csv"
[[ -f $output ]] || fail "no output file at $output"
[[ $(head -n 1 "$output") == $'Path,Size\r' ]] || fail "the headings line is not Path,Size"
grep -q $'\r$' <(tail -n +2 "$output") || fail "lines do not end in CR LF"

# What the host holds: every regular file named *.txt in any case, as G:\PATH,SIZE.
expected=$(cd "$data" && find . -type f -iname '*.txt' ! -name found.csv -printf '%P,%s\n' |
    sed 's|/|\\|g; s|^|G:\\|' | LC_ALL=C sort)
refused=$(grep -a $'\tNWParseNetwarePath Code : ' "$work/stderr" | cut -f1,2 | tr '\t' ',' || true)
actual=$( (tail -n +2 "$output" | tr -d '\r'; [[ -z $refused ]] || echo "$refused") | LC_ALL=C sort)
[[ -z $refused ]] || ! grep -qaFx -f <(echo "$refused") <(tr -d '\r' <"$output") ||
    fail "a file refused by the path parse reached the output file"
[[ -n $expected ]] || fail "the demo holds no .txt file on G"
if [[ "$expected" != "$actual" ]]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "the output file and the refused rows differ from the .txt files of the DATA volume"
fi
matches=$(( $(echo "$expected" | wc -l) - $(echo -n "$refused" | grep -c '^' || true) ))
grep -qE "^Trawl: [0-9]+ files scanned, [0-9]+ folders scanned, $matches matching files" "$work/stdout" ||
    fail "the summary does not count $matches matching files"
echo "demo: $matches .txt files on G written as expected"
