#!/usr/bin/env bash
# Attributes and creation dates set by a Windows user through a real Samba:
# smbclient sets them over the protocol on a private smbd's share, and
# Trawl's unattended runs over the share's host folder find exactly those
# files with each attribute test and with a creation-date test, and write
# their attribute letters and creation dates.
#
#   samba_attributes.sh <trawl executable>
set -euo pipefail

trawl=${1:?usage: samba_attributes.sh <trawl executable>}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=private_smbd.sh
source "$here/private_smbd.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-samba-XXXXXX")
trap 'stop_private_smbd; rm -rf "$work"' EXIT
chmod 0755 "$work"  # the share's guest account passes through it

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_private_smbd "$work/samba"
share="$work/samba/share"
for name in hidden system readonly archive both old plain; do
    printf '%s' "$name" >"$share/$name.txt"
    chmod 0666 "$share/$name.txt"
done
smb_client "$work/samba" 'setmode hidden.txt +h; setmode system.txt +s; setmode readonly.txt +r;
    setmode archive.txt +a; setmode both.txt +hs; utimes old.txt 2009:06:07-08:09:10 -1 -1 -1' \
    >"$work/smbclient.out" 2>&1 || { cat "$work/smbclient.out" >&2; fail "smbclient could not set the attributes"; }
stop_private_smbd

cat >"$work/workstation.ini" <<INI
[Volumes]
FS1/SHARE=$share

[Drives]
S=FS1/SHARE:
INI
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" NWCLIENT_CONFIG="$work/workstation.ini"
export QT_QPA_PLATFORM=offscreen TZ=UTC
mkdir -p "$HOME"

# run NAME SETTINGS...: an unattended run with the given test settings; prints
# the output file's lines (file name, attribute letters, creation date), sorted.
run() {
    local name=$1
    shift
    {
        printf '[TRAWL]\ncboDrives=S:\ncboPattern=*.txt\ncboPath=S:\\\noptSizeIgnore=1\n'
        printf 'dtpBefore=42005\ndtpAfter=42005\ndtpExact=42005\n'
        printf 'chkOutputResults=1\nchkOutputFilename=1\nchkOutputAttributes=1\nchkOutputCreation=1\n'
        printf 'optOutputSepComma=1\ntxtOutputFilename=%s\n' "$work/$name.csv"
        printf '%s\n' "$@"
    } >"$work/$name.tws"
    local status=0
    timeout 60 "$trawl" "/settings=$work/$name.tws" /autorun /autoclose >"$work/$name.out" 2>&1 || status=$?
    [[ $status -eq 0 ]] || { cat "$work/$name.out" >&2; fail "$name: trawl ended with status $status"; }
    tr -d '\r' <"$work/$name.csv" | LC_ALL=C sort
}

expect() {
    local name=$1 expected=$2 actual=$3
    [[ $actual == "$expected" ]] || fail "$name: expected
$expected
got
$actual"
}

today=$(date -u +%-m/%-d/%Y)
expect everything "archive.txt,$today,[Rw---A-------------------]
both.txt,$today,[RwHSy--------------------]
hidden.txt,$today,[RwH----------------------]
old.txt,6/7/2009,[Rw-----------------------]
plain.txt,$today,[Rw-----------------------]
readonly.txt,$today,[Ro-----------------------]
system.txt,$today,[Rw-Sy--------------------]" "$(run everything optDateIgnore=1)"

expect hidden "both.txt,$today,[RwHSy--------------------]
hidden.txt,$today,[RwH----------------------]" "$(run hidden optDateIgnore=1 chkAttribHidden=1)"
expect system "both.txt,$today,[RwHSy--------------------]
system.txt,$today,[Rw-Sy--------------------]" "$(run system optDateIgnore=1 chkAttribSystem=1)"
expect read-only "readonly.txt,$today,[Ro-----------------------]" "$(run readonly optDateIgnore=1 chkAttribReadOnly=1)"
expect archive "archive.txt,$today,[Rw---A-------------------]" \
    "$(run archive optDateIgnore=1 chkAttribArchiveNeeded=1)"
expect created-before-2015 "old.txt,6/7/2009,[Rw-----------------------]" \
    "$(run created optDateCreation=1 optDateBefore=1)"
echo "PASS: every attribute and creation date Samba set was found"
