#!/usr/bin/env bash
# The history of scans through the real binary run unattended, as a nightly
# job runs it: a first run, changes on the volume, a second run whose output
# file holds only what changed (New, Changed, Gone) with its Change field,
# the summary lines, the refusal of a change field without the history, and
# a database that cannot be used (the scan and its output go on, exit 1, the
# file untouched).
#
#   history_runs.sh <path of the trawl executable>
set -euo pipefail

trawl=${1:?usage: history_runs.sh <trawl executable>}
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-history-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr" "$work/out.csv"; do
        [[ -s $log ]] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/SUB"
printf 'hello' >"$volume/A.TXT"
printf '12' >"$volume/SUB/B.TXT"
printf 'gone soon' >"$volume/C.TXT"
printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume" >"$work/workstation.ini"

settings() {  # extra key=value lines
    {
        printf '[TRAWL]\ncboPattern=*.TXT\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\n'
        printf 'dtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\n'
        printf 'chkOutputResults=1\nchkOutputFullPath=1\nchkOutputSize=1\ntxtOutputFilename=%s\n' "$work/out.csv"
        printf 'memCommandFileCount=0\nlstUsersCount=0\n'
        printf '%s\n' "$@"
    } >"$work/run.tws"
}

run() {
    set +e
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
        NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
        HOME="$work" TZ=UTC timeout 60 "$trawl" "/settings=$work/run.tws" /autorun /autoclose \
        >"$work/stdout" 2>"$work/stderr")
    status=$?
    set -e
    [[ $status -ne 124 ]] || fail "trawl did not end by itself"
}
summary_ends() { grep -q -- "$1\$" "$work/stdout" || fail "the summary line does not end with: $1"; }

# A change field without the history is refused before anything runs.
settings chkOutputChange=1
run
[[ $status -eq 2 ]] || fail "a change field without the history ran (status $status)"
grep -q 'need the history' "$work/stderr" || fail "no message says the history is needed"

# The first run of the search: every file New, in the default database.
settings chkHistory=1 chkOutputChange=1
run
[[ $status -eq 0 ]] || fail "the first run ended with status $status"
summary_ends "; history: first run of this search"
[[ -f $work/data/trawl/history.sqlite ]] || fail "no history in \$XDG_DATA_HOME/trawl"
[[ $(tr -d '\r' <"$work/out.csv" | LC_ALL=C sort) == $'F:\\A.TXT,5,New\nF:\\C.TXT,9,New\nF:\\SUB\\B.TXT,2,New' ]] ||
    fail "the first run's output is not every file New"

# B grows, C goes, D comes; A stays as it was.
printf '1234' >"$volume/SUB/B.TXT"
touch -d '2020-01-02 03:04:05' "$volume/SUB/B.TXT"
rm "$volume/C.TXT"
printf 'new' >"$volume/D.TXT"
settings chkHistory=1 chkOutputChange=1 chkOutputChangesOnly=1 chkOutputHeadings=1
run
[[ $status -eq 0 ]] || fail "the second run ended with status $status"
summary_ends "; history: 1 new, 1 gone, 1 changed since $(date -u +%Y-%m-%d) [0-9][0-9]:[0-9][0-9]"
lines=$(tr -d '\r' <"$work/out.csv")
[[ $(head -n 1 <<<"$lines") == "Path,Size,Change" ]] || fail "the headings are not Path,Size,Change"
[[ $(tail -n 1 <<<"$lines") == 'F:\C.TXT,9,Gone' ]] || fail "the gone file is not last, with its recorded size"
[[ $(sed -n '2,3p' <<<"$lines" | LC_ALL=C sort) == $'F:\\D.TXT,3,New\nF:\\SUB\\B.TXT,4,Changed: Size/Modified' ]] ||
    fail "the new and changed files are not as expected"
[[ $(wc -l <<<"$lines") -eq 4 ]] || fail "a file that did not change was written"

# A database that is no database: one errors-list row naming it, the scan
# and its output go on, exit status 1, the file untouched.
printf 'my notes, not a database\n%.0s' {1..200} >"$work/notes.txt"
before=$(sha256sum <"$work/notes.txt")
settings chkHistory=1 "txtHistory=$work/notes.txt"
run
[[ $status -eq 1 ]] || fail "a broken history ended with status $status, not 1"
grep -q "^$work/notes.txt	0	History: file is not a database" "$work/stderr" || fail "no errors row names the database"
[[ $(wc -l <"$work/out.csv") -eq 3 ]] || fail "the output file was not written whole"
[[ $(sha256sum <"$work/notes.txt") == "$before" ]] || fail "the file that is no database was changed"
echo "PASS: two recorded runs, what changed between them, and a broken database"
