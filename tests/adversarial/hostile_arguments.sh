#!/usr/bin/env bash
# Command lines nobody should type, given to the real trawl binary unattended:
# the longest argument the system passes, a settings switch with no name, a
# name that is not UTF-8, a thousand arguments. Each run ends by itself with
# its decided exit status and lines; none crashes.
#
#   hostile_arguments.sh <trawl executable> <build folder>
set -euo pipefail

trawl=${1:?usage: hostile_arguments.sh <trawl executable> <build folder>}
trawl=$(cd "$(dirname "$trawl")" && pwd)/$(basename "$trawl")
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-arguments-XXXXXX")
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
printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume" >"$work/workstation.ini"
printf '[TRAWL]\ncboPattern=*.TXT\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\ndtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\nmemCommandFileCount=1\nmemCommandFile0=echo !2\nlstUsersCount=0\n' \
    >"$work/good.tws"

# Runs trawl headless with the arguments given; status in $status, seconds in $took.
run() {
    local start
    start=$(date +%s%N)
    set +e
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
        NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="$work/config" TZ=UTC \
        timeout 120 "$trawl" "$@" >"$work/stdout" 2>"$work/stderr")
    status=$?
    set -e
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    [[ $status -ne 124 ]] || fail "trawl did not end by itself"
    [[ $status -lt 126 ]] || fail "trawl could not start or died (status $status)"
}
expect_status() { [[ $status -eq $1 ]] || fail "$2: exit status $status, expected $1"; }
expect_stderr() { grep -qxF -- "$1" "$work/stderr" || fail "$2: standard error lacks: $1"; }
expect_quiet() { [[ ! -s $work/stderr ]] || fail "$1: unexpected lines on standard error"; }
expect_summary() {  # files, matches, what
    grep -qE "^Trawl: $1 files scanned, 1 folders scanned, $2 matching files, " "$work/stdout" ||
        fail "$3: the summary does not show $1 files scanned and $2 matches"
}
expect_missing() {  # what: the one line of a settings file that cannot be read
    [[ $(wc -l <"$work/stderr") -eq 1 ]] && grep -q '^Trawl: Unable to read settings file ' "$work/stderr" ||
        fail "$1: standard error is not the one line of a missing settings file"
}

# The plain run every other case is measured against.
run "/settings=$work/good.tws" /autorun /autoclose
expect_status 0 "plain run"
expect_summary 2 2 "plain run"

# A megabyte argument when the system passes one; Linux passes at most 128 KiB
# less the closing zero (MAX_ARG_STRLEN) and refuses to start the program
# with a longer one, so there the longest it passes is used.
max=1048576
set +e
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR timeout 60 \
    "$trawl" "/$(head -c $((max - 1)) /dev/zero | tr '\0' 'x')" /autorun2 >/dev/null 2>&1
started=$?
set -e
[[ $started -ne 126 ]] || max=131071
ignored="/$(head -c $((max - 1)) /dev/zero | tr '\0' 'x')"
run "$ignored" "/settings=$work/good.tws" /autorun /autoclose
expect_status 0 "longest argument, unknown"
expect_summary 2 2 "longest argument, unknown"
echo "a $max-byte unknown argument: ignored (${took} ms)"

# A name of 128 KiB names no file that can exist: refused as a missing file;
# nothing runs.
name="/settings=$work/$(head -c $((max - 11 - ${#work})) /dev/zero | tr '\0' 'n')"
[[ ${#name} -eq $max ]] || fail "the long settings argument is ${#name} bytes"
run "$name" /autorun /autoclose
expect_status 2 "longest settings name"
expect_missing "longest settings name"
echo "a $max-byte settings argument: refused as a missing file (${took} ms)"

# A megabyte in all, spread over sixteen arguments.
args=()
for i in $(seq 1 16); do args+=("/junk$i=$(head -c 65536 /dev/zero | tr '\0' 'j')"); done
run "${args[@]}" "/settings=$work/good.tws" /autorun /autoclose
expect_status 0 "a megabyte of arguments"
expect_summary 2 2 "a megabyte of arguments"

# A settings switch without a name names nothing: it is passed over, and the
# run is the run without it (here the window's defaults: every file of F:\).
run /autorun /autoclose
expect_status 0 "no settings argument"
defaults=$(sed -E 's/, [0-9.]+ seconds$//' "$work/stdout")
for switch in "/settings=" "/settings" "/SETTINGS="; do
    run "$switch" /autorun /autoclose
    expect_status 0 "$switch alone"
    expect_quiet "$switch alone"
    [[ $(sed -E 's/, [0-9.]+ seconds$//' "$work/stdout") == "$defaults" ]] || fail "$switch changed the run"
done
run "/settings=" "/settings=$work/good.tws" /autorun /autoclose
expect_status 0 "an empty switch before a real one"
expect_summary 2 2 "an empty switch before a real one"

# A name that is not UTF-8 cannot be held by the program's texts: the bytes
# that do not decode become U+FFFD, so the file is not found (even when it
# exists) and the load is refused as for a missing file. No other file is read.
bad=$'\xff\xfe'
cp "$work/good.tws" "$work/$bad.tws"
run "/settings=$work/$bad.tws" /autorun /autoclose
expect_status 2 "a settings name that is not UTF-8"
expect_missing "a settings name that is not UTF-8"

# A switch that is not quite /autorun is no switch: the program would show its
# window, and without a screen it says so and ends instead of aborting.
run $'/autorun\xff' "/settings=$work/good.tws" /autoclose
expect_status 2 "a switch with a byte that is not UTF-8, no screen"
expect_stderr "Trawl: no display to show the window on; an unattended run needs /autorun" "no screen"
[[ ! -s $work/stdout ]] || fail "a switch that is not quite /autorun started a run"

# A thousand arguments: the same file loaded 998 times. Each load replaces the
# settings, the template line and the owners included; the scan is the plain one.
args=()
for i in $(seq 1 998); do args+=("/settings=$work/good.tws"); done
run "${args[@]}" /autorun /autoclose
expect_status 0 "a thousand arguments"
expect_summary 2 2 "a thousand arguments"
expect_quiet "a thousand arguments"
echo "1000 arguments, 998 loads of one file: ${took} ms"

echo "hostile arguments: every run ended with its decided status"
