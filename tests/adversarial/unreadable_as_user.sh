#!/usr/bin/env bash
# Folders and files the user running a scan may not read, with real
# permissions: the real trawl binary, unattended and without a screen. Root
# reads everything whatever the permission bits say, so when run as root the
# scan runs as the user "nobody" (65534) through setpriv.
#
#   unreadable_as_user.sh <trawl executable> [<build folder>]
#
# The tree, each entry closed to everybody:
#   noread.txt       mode 000: found, its information needs no right to read it
#   owned.txt        mode 000 with an owner attribute that cannot be read: one
#                    row, never a match with a made-up owner (when the file
#                    system takes user extended attributes)
#   locked/          mode 000: cannot be listed, one row; secret.txt unseen
#   nosearch/        mode 444: listed, but nothing in it can be examined:
#     inner.txt        one row of the file-information read
#     sub/             cannot be listed, one row; its file unseen
#   ok.txt, open/deep.txt: found as usual
set -euo pipefail

trawl=${1:?usage: unreadable_as_user.sh <trawl executable> [<build folder>]}
trawl=$(realpath -- "$trawl")

as_user=()
if [[ $(id -u) -eq 0 ]]; then
    if ! command -v setpriv >/dev/null 2>&1; then
        echo "SKIP: running as root and setpriv is missing, so no user exists for whom the permissions count"
        exit 0
    fi
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

work=$(mktemp -d /tmp/trawl-unreadable-XXXXXX)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr"; do
        [[ -s $log ]] && { echo "--- $log" >&2; cat -A "$log" >&2; }
    done
    exit 1
}

# The binary must be reachable by the user who runs it; a copy in the
# temporary folder is when the build folder is not (trawl links its own
# libraries statically, Qt comes from the system).
if ! "${as_user[@]}" test -x "$trawl"; then
    cp "$trawl" "$work/trawl"
    chmod 755 "$work/trawl"
    trawl="$work/trawl"
fi

volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/locked" "$volume/nosearch/sub" "$volume/open"
printf 'hello' >"$volume/ok.txt"
printf 'secret' >"$volume/noread.txt"
printf 'xx' >"$volume/locked/secret.txt"
printf 'xxx' >"$volume/nosearch/inner.txt"
printf 'xxxxxxx' >"$volume/nosearch/sub/unseen.txt"
printf 'deep' >"$volume/open/deep.txt"
printf 'owned' >"$volume/owned.txt"
owned_row=""
if command -v setfattr >/dev/null 2>&1 && setfattr -n user.nw.owner -v 4097 "$volume/owned.txt" 2>/dev/null; then
    owned_row=$'SYS:owned.txt\t5\tNWIntScanFileInformation2 Code : 89a8\n'
else
    echo "note: no user extended attributes here; owned.txt is found like noread.txt"
    rm "$volume/owned.txt"
fi
chmod -R a+rX "$work/volumes"
chmod 000 "$volume/noread.txt" "$volume/locked"
[[ ! -e $volume/owned.txt ]] || chmod 000 "$volume/owned.txt"
chmod 444 "$volume/nosearch"

# What the run writes goes to folders of its own user.
mkdir -p "$work/out" "$work/config"
[[ ${#as_user[@]} -eq 0 ]] || chown 65534:65534 "$work/out" "$work/config"

printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume" >"$work/workstation.ini"
{
    printf '[TRAWL]\ncboPattern=*.*\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\n'
    printf 'dtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\n'
    printf 'chkOutputResults=1\ntxtOutputFilename=%s\nchkOutputFullPath=1\nchkOutputSize=1\n' "$work/out/found.csv"
} >"$work/run.tws"
chmod 644 "$work/workstation.ini" "$work/run.tws"

set +e
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
    NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="$work/config" TZ=UTC \
    timeout 60 "${as_user[@]}" "$trawl" "/settings=$work/run.tws" /autorun /autoclose \
    >"$work/stdout" 2>"$work/stderr")
status=$?
set -e
[[ $status -ne 124 ]] || fail "the run did not end by itself"
[[ $status -eq 1 ]] || fail "expected exit status 1 (errors rows), got $status"

expected_rows="$owned_row"$'F:\\locked\t0\tUnable to list folder Code : d
SYS:nosearch\\inner.txt\t0\tNWIntScanFileInformation2 Code : 89a8
F:\\nosearch\\sub\t0\tUnable to list folder Code : d'
[[ $(cat "$work/stderr") == "$expected_rows" ]] || fail "standard error is not the rows expected"

files=4 rows=3
[[ -z $owned_row ]] || { files=5 rows=4; }
grep -qE "^Trawl: $files files scanned, 4 folders scanned, 3 matching files, 15 bytes matching, $rows errors, [0-9.]+ seconds\$" \
    "$work/stdout" || fail "summary is not $files files, 4 folders, 3 matches of 15 bytes, $rows errors"

expected_output=$'F:\\noread.txt,6\r\nF:\\ok.txt,5\r\nF:\\open\\deep.txt,4\r'
[[ $(cat "$work/out/found.csv") == "$expected_output" ]] || fail "output file: $(cat -A "$work/out/found.csv")"

echo "unreadable entries: one row each, exit status 1, everything else found"
