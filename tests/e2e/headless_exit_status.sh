#!/usr/bin/env bash
# Scheduled runs without a screen: the real trawl binary with the display
# variables removed. No dialog may wait; each outcome has its exit status,
# its standard-error lines and its summary line.
#
#   headless_exit_status.sh <path of the trawl executable>
set -euo pipefail

trawl=${1:?usage: headless_exit_status.sh <trawl executable>}
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-headless-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr"; do
        [[ -s $log ]] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
    exit 1
}

volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/SUB"
printf 'hello' >"$volume/A.TXT"
printf '12' >"$volume/SUB/B.TXT"

write_workstation() {  # extra lines for [Faults], if any
    {
        printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume"
        if [[ $# -gt 0 ]]; then printf '\n[Faults]\n'; printf '%s\n' "$@"; fi
    } >"$work/workstation.ini"
}

write_settings() {  # extra key=value lines
    {
        printf '[TRAWL]\ncboPattern=*.*\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\n'
        printf 'dtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\n'
        printf '%s\n' "$@"
    } >"$work/run.tws"
}

# Runs trawl headless, without a runtime folder in the environment as under
# cron; the status lands in $status. Standard error holds Trawl's own lines
# only: nothing is filtered out before the checks below.
run() {
    set +e
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
        NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="$work/config" TZ=UTC \
        timeout 60 "$trawl" "$@" >"$work/stdout" 2>"$work/stderr")
    status=$?
    set -e
    [[ $status -ne 124 ]] || fail "trawl $* did not end by itself"
}

expect_status() { [[ $status -eq $1 ]] || fail "expected exit status $1, got $status ($2)"; }
expect_stderr() { grep -qxF -- "$1" "$work/stderr" || fail "standard error lacks: $1"; }
expect_summary() {
    grep -qE "^Trawl: $1 files scanned, $2 folders scanned, $3 matching files, $4 bytes matching, $5 errors, [0-9.]+ seconds$" \
        "$work/stdout" || fail "summary is not $*"
}

# 0: the scan ran to its end without an errors-list row.
write_workstation
write_settings
run "/settings=$work/run.tws" /autorun /autoclose
expect_status 0 "clean run"
expect_summary 2 1 2 7 0
[[ ! -s $work/stderr ]] || fail "a clean run writes nothing to standard error"

# 1: the scan ran to its end but added rows, each echoed to standard error.
write_workstation 'Fault0=NWIntScanFileInformation2, SYS:SUB\B.TXT, 89FF'
run "/settings=$work/run.tws" /autorun /autoclose
expect_status 1 "run with an errors-list row"
expect_stderr $'SYS:SUB\\B.TXT\t2\tNWIntScanFileInformation2 Code : 89ff'
expect_summary 2 1 1 5 1

# 1 too: the output file fills up while it is written.
write_workstation
write_settings chkOutputResults=1 txtOutputFilename=/dev/full chkOutputFilename=1
run "/settings=$work/run.tws" /autorun /autoclose
expect_status 1 "output file on a full device"
expect_stderr $'/dev/full\t0\tUnable to write output file Code : 1c'

# 2: the client cannot start; the message box becomes a line, nothing waits.
rm -f "$work/workstation.ini"
run /autorun /autoclose
expect_status 2 "no workstation file"
expect_stderr "Trawl: An Error Occurred : Cannot Init Netware Error Code : 88fe"
write_workstation

# 2: the settings file fails to load (a missing file is named, with the path
# that was tried).
run "/settings=missing.tws" /autorun /autoclose
expect_status 2 "settings file that fails to load"
expect_stderr "Trawl: Unable to read settings file missing.tws (looked for $work/config/trawl/missing.tws)"
[[ $(wc -l <"$work/stderr") -eq 1 ]] || fail "a missing settings file writes one line to standard error"

# 2: the settings are refused by the validation.
write_settings chkOutputResults=1 chkOutputSize=1
run "/settings=$work/run.tws" /autorun /autoclose
expect_status 2 "settings refused by the validation"
expect_stderr "Trawl: Enter a Output Filename"
expect_summary 0 0 0 0 0

# 2: the output file cannot be opened.
write_settings chkOutputResults=1 chkOutputSize=1 "txtOutputFilename=$work/no/such/folder/out.csv"
run "/settings=$work/run.tws" /autorun /autoclose
expect_status 2 "output file that cannot be opened"
expect_stderr "Trawl: Unable to Open output file. Please check to the path $work/no/such/folder/out.csv: No such file or directory"

# 3: the scan is stopped (SIGTERM, as a scheduler's time limit sends it).
mkdir -p "$volume/MANY"
for i in $(seq 1 40000); do : >"$volume/MANY/F$i.DAT"; done
write_workstation 'Fault0=NWIntScanFileInformation2, SYS:A.TXT, 89FF'
write_settings
set +e
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
    NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="$work/config" \
    timeout 60 "$trawl" "/settings=$work/run.tws" /autorun /autoclose >"$work/stdout" 2>"$work/stderr") &
runner=$!
for _ in $(seq 1 3000); do
    grep -q 'NWIntScanFileInformation2' "$work/stderr" 2>/dev/null && break
    sleep 0.01
done
# Only this run's trawl: other tests may run the same binary at the same time.
pkill -TERM -f -- "^$trawl /settings=$work/run.tws" || true
wait "$runner"
status=$?
set -e
expect_status 3 "stopped run"
scanned=$(sed -nE 's/^Trawl: ([0-9]+) files scanned.*/\1/p' "$work/stdout")
[[ -n $scanned && $scanned -lt 40002 ]] || fail "a stopped run scanned $scanned of 40002 files"

# Without /autoclose the run still ends when nobody can close the window.
rm -rf "$volume/MANY"
write_workstation
run "/settings=$work/run.tws" /autorun
expect_status 0 "automatic run without /autoclose"
expect_summary 2 1 2 7 0

# --help and --version answer before Qt and the client start: status 0,
# nothing on standard error, and no scan even with /autorun beside them.
run --version /autorun /autoclose
expect_status 0 "--version"
[[ $(<"$work/stdout") =~ ^Trawl\ [0-9]+\.[0-9]+$ ]] || fail "--version prints: $(<"$work/stdout")"
run "/settings=$work/run.tws" /autorun --help
expect_status 0 "--help"
grep -q '^Usage: trawl ' "$work/stdout" || fail "--help prints no usage"
grep -qxF "Workstation file now: $work/workstation.ini" "$work/stdout" || fail "--help names no workstation file"
! grep -q 'files scanned' "$work/stdout" || fail "--help ran the scan"
[[ ! -s $work/stderr ]] || fail "--help writes to standard error"

echo "headless runs: all exit statuses as expected"
