#!/usr/bin/env bash
# Huge and damaged input files given to the real trawl binary unattended: 100 MB
# of random bytes as the settings file and as the workstation file, files
# that are right apart from one line of a megabyte, and the largest settings
# file Save writes. Each run ends by itself within its time limit with its
# decided status and lines, and no input file is changed. The time of each
# run is printed.
#
#   huge_inputs.sh <trawl executable> <build folder>
set -euo pipefail

trawl=${1:?usage: huge_inputs.sh <trawl executable> <build folder>}
trawl=$(cd "$(dirname "$trawl")" && pwd)/$(basename "$trawl")
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-huge-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr"; do
        [[ -s $log ]] && { echo "--- $log" >&2; head -c 2000 "$log" >&2; echo >&2; }
    done
    exit 1
}

volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/SUB"
printf 'hello' >"$volume/A.TXT"
printf '12' >"$volume/SUB/B.TXT"
good_ws="[Volumes]
FS1/SYS=$volume

[Drives]
F=FS1/SYS:
"
printf '%s' "$good_ws" >"$work/workstation.ini"

# Settings of a plain run: both .TXT files, their names to found.csv; the
# pattern and the output file name can be given instead.
good_tws() {  # [pattern [output file name]]
    printf '[TRAWL]\r\ncboPattern=%s\r\ncboPath=F:\\\r\noptSizeIgnore=1\r\noptDateIgnore=1\r\n' "${1:-*.TXT}"
    printf 'dtpBefore=40000\r\ndtpAfter=40000\r\ndtpExact=40000\r\noptOutputSepComma=1\r\n'
    printf 'chkOutputResults=1\r\nchkOutputFilename=1\r\ntxtOutputFilename=%s\r\n' "${2:-$work/found.csv}"
}

# Runs trawl headless; status in $status, milliseconds in $took. A run over
# the limit fails the test: a load that reads the file once per key, or a
# scan of a damaged file that never ends, would be far beyond it.
run() {  # workstation file, arguments
    local ini=$1 start
    shift
    rm -f "$work/found.csv"
    start=$(date +%s%N)
    set +e
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
        NWCLIENT_CONFIG="$ini" XDG_CONFIG_HOME="$work/config" TZ=UTC \
        timeout 120 "$trawl" "$@" >"$work/stdout" 2>"$work/stderr")
    status=$?
    set -e
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    [[ $status -ne 124 ]] || fail "trawl did not end within 120 s"
    [[ $status -lt 126 ]] || fail "trawl could not start or died (status $status)"
}
expect_status() { [[ $status -eq $1 ]] || fail "$2: exit status $status, expected $1"; }
expect_stderr() { grep -qxF -- "$1" "$work/stderr" || fail "$2: standard error lacks: $1"; }
expect_stderr_prefix() {
    [[ $(head -c ${#1} "$work/stderr") == "$1" ]] || fail "$2: standard error does not begin with: $1"
}
expect_plain_run() {  # what
    expect_status 0 "$1"
    grep -qE '^Trawl: 2 files scanned, 1 folders scanned, 2 matching files, 7 bytes matching, 0 errors, ' \
        "$work/stdout" || fail "$1: not the plain run"
    [[ $(cat "$work/found.csv") == $'A.TXT\r\nB.TXT\r' ]] || fail "$1: the output file is wrong"
}
expect_unchanged() {  # file, checksum before, what
    [[ $(cksum <"$1") == "$2" ]] || fail "$3: the input file was changed"
}
measure() { echo "$1: ${took} ms, exit status $status"; }
cannot_init="Trawl: An Error Occurred : Cannot Init Netware Error Code : 88fe"
missing_dates="Trawl: You must be in ShowCheckbox mode to set to this date"

good_tws >"$work/good.tws"
run "$work/workstation.ini" "/settings=$work/good.tws" /autorun /autoclose
expect_plain_run "plain run"

# 100 MB of random bytes from a fixed seed (perl's generator is its own and
# the same on every platform), used once as a settings file and once as a
# workstation file.
random="$work/random.bin"
perl -e 'srand(20240601); for (1 .. 400) { print pack("L*", map { int(rand(4294967296)) } 1 .. 65536) }' >"$random"
[[ $(stat -c %s "$random") -eq 104857600 ]] || fail "the random file is not 100 MB"
sum=$(cksum <"$random")

# As settings: no [TRAWL] section, so every key reads as missing and the load
# ends at the first date; no scan runs.
run "$work/workstation.ini" "/settings=$random" /autorun /autoclose
measure "100 MB random settings file"
expect_status 2 "100 MB random settings file"
expect_stderr "$missing_dates" "100 MB random settings file"
expect_unchanged "$random" "$sum" "100 MB random settings file"

# As the workstation: refused at its first bad line; the client does not start.
run "$random" /autorun /autoclose
measure "100 MB random workstation file"
expect_status 2 "100 MB random workstation file"
expect_stderr_prefix "Trawl: $random:1: " "100 MB random workstation file"
expect_stderr "$cannot_init" "100 MB random workstation file"
expect_unchanged "$random" "$sum" "100 MB random workstation file"
rm -f "$random"

# Settings right apart from one line of a megabyte. A value longer than a
# settings file holds ends the load at its key (cut, it would name another
# file); a line without '=' and a section of another name change nothing.
huge=$(head -c 1048576 /dev/zero | tr '\0' 'Q')
settings_case() {  # what, expected status, expected line or "", file text on stdin
    local what=$1 expected=$2 line=$3 sum
    cat >"$work/case.tws"
    sum=$(cksum <"$work/case.tws")
    run "$work/workstation.ini" "/settings=$work/case.tws" /autorun /autoclose
    measure "settings: $what"
    if [[ $expected -eq 0 ]]; then
        expect_plain_run "settings: $what"
    else
        expect_status "$expected" "settings: $what"
        expect_stderr "$line" "settings: $what"
        [[ ! -e $work/found.csv ]] || fail "settings: $what: an output file was written"
        [[ $(find "$volume" -type f | wc -l) -eq 2 ]] || fail "settings: $what: a file appeared in the volume"
    fi
    expect_unchanged "$work/case.tws" "$sum" "settings: $what"
}
good_tws '*.TXT' "$huge" |
    settings_case "a megabyte output file name" 2 "Trawl: The value of txtOutputFilename is longer than 255 bytes"
good_tws "$huge" |
    settings_case "a megabyte pattern" 2 "Trawl: The value of cboPattern is longer than 255 bytes"
{ good_tws; printf '%s\r\n' "$huge"; } | settings_case "a megabyte line without '='" 0 ""
{ good_tws; printf '[%s]\r\ncboPattern=*.DAT\r\n' "$huge"; } | settings_case "a megabyte section name" 0 ""
{ good_tws; printf '%s=1\r\n' "$huge"; } | settings_case "a megabyte key" 0 ""

# A workstation file right apart from one line of a megabyte.
workstation_case() {  # what, expected status, expected start of standard error or "", text on stdin
    local what=$1 expected=$2 line=$3
    cat >"$work/case.ini"
    run "$work/case.ini" "/settings=$work/good.tws" /autorun /autoclose
    measure "workstation: $what"
    if [[ $expected -eq 0 ]]; then
        expect_plain_run "workstation: $what"
    else
        expect_status "$expected" "workstation: $what"
        expect_stderr_prefix "$line" "workstation: $what"
        expect_stderr "$cannot_init" "workstation: $what"
    fi
}
{ printf '%s' "$good_ws"; printf '[Volumes]\nFS1/DATA=/%s\n' "$huge"; } |
    workstation_case "a megabyte host folder" 2 "Trawl: $work/case.ini:7: [Volumes] FS1/DATA: no such folder /QQQ"
{ printf '%s' "$good_ws"; printf '%s\n' "$huge"; } |
    workstation_case "a megabyte line without '='" 2 \
        "Trawl: $work/case.ini:6: neither a [Section] header, a key=value line nor a ; comment"
{ printf '%s' "$good_ws"; printf '[%s]\nkey=value\n' "$huge"; } | workstation_case "a megabyte section name" 0 ""
{ printf '%s' "$good_ws"; printf ';%s\n' "$huge"; } | workstation_case "a megabyte comment" 0 ""

# The largest settings file Save writes: 10,000 template lines and 10,000
# owners of 255 bytes. All of it loads; the owner test then finds none of
# these owners, so nothing matches.
{
    good_tws
    perl -e 'printf "memCommandFileCount=10000\r\n"; printf "memCommandFile%d=%0255d\r\n", $_, $_ for 0 .. 9999;
             printf "lstUsersCount=10000\r\n"; printf "lstUsers%d=%0255d\r\n", $_, $_ for 0 .. 9999;'
} >"$work/largest.tws"
sum=$(cksum <"$work/largest.tws")
run "$work/workstation.ini" "/settings=$work/largest.tws" /autorun /autoclose
measure "settings: 10,000 template lines and 10,000 owners ($(stat -c %s "$work/largest.tws") bytes)"
expect_status 0 "the largest settings file"
grep -qE '^Trawl: 2 files scanned, 1 folders scanned, 0 matching files, ' "$work/stdout" ||
    fail "the largest settings file: the owners did not all load"
expect_unchanged "$work/largest.tws" "$sum" "the largest settings file"

echo "huge inputs: every run ended in time with its decided status, no input file changed"
