#!/usr/bin/env bash
# A disk that fills up while an unattended run writes its output file or its
# command file. The real trawl binary runs on a small tmpfs (or, where this
# machine refuses the mount, on /dev/full). Each run must say it failed (an
# errors-list line on standard error, exit status 1), and what reached the
# disk must be a byte prefix of what a run with room writes: complete lines
# are right records in the right order, none repeated, nothing after the
# first failure. In append mode the lines already in the file stay as they
# were. The window-state file on a full disk stays whole too.
#
#   full_disk.sh <trawl executable> <build folder>
set -euo pipefail

trawl=${1:?usage: full_disk.sh <trawl executable> <build folder>}
trawl=$(cd "$(dirname "$trawl")" && pwd)/$(basename "$trawl")
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-fulldisk-XXXXXX")
disk="$work/disk"
mkdir -p "$disk"
mounted=0
cleanup() {
    if [[ $mounted -eq 1 ]]; then umount "$disk" 2>/dev/null || umount -l "$disk" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work/stdout" "$work/stderr"; do
        [[ -s $log ]] && { echo "--- $log" >&2; head -c 4000 "$log" >&2; echo >&2; }
    done
    exit 1
}

# A 64 KiB tmpfs of our own; without the right to mount, /dev/full stands in.
if mount -t tmpfs -o size=64k,mode=0777 trawl-fulldisk "$disk" 2>/dev/null; then
    mounted=1
elif [[ -w /dev/full ]]; then
    echo "mount refused: the cases run on /dev/full instead"
else
    echo "neither a tmpfs nor /dev/full: nothing to test here"
    exit 0
fi

# 600 files in a folder with a long name: a run with room writes about 150 KiB
# of records, more than twice what the tmpfs holds.
long=$(printf 'FOLDER_WITH_A_LONG_NAME_%.0s' {1..8})
volume="$work/volumes/FS1-SYS"
mkdir -p "$volume/$long"
for i in $(seq -w 1 600); do : >"$volume/$long/FILE$i.DAT"; done
printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume" >"$work/workstation.ini"

write_settings() {  # output file name, then extra key=value lines
    local output=$1
    shift
    {
        printf '[TRAWL]\ncboPattern=*.DAT\ncboPath=F:\\\noptSizeIgnore=1\noptDateIgnore=1\n'
        printf 'dtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\n'
        printf 'chkOutputResults=1\ntxtOutputFilename=%s\n' "$output"
        printf '%s\n' "$@"
    } >"$work/run.tws"
}

run() {
    set +e
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR \
        NWCLIENT_CONFIG="$work/workstation.ini" XDG_CONFIG_HOME="${config:-$work/config}" TZ=UTC \
        timeout 120 "$trawl" "/settings=$work/run.tws" /autorun /autoclose >"$work/stdout" 2>"$work/stderr")
    status=$?
    set -e
    [[ $status -ne 124 ]] || fail "trawl did not end by itself"
    [[ $status -lt 128 ]] || fail "trawl died of signal $((status - 128))"
}

# The run failed and said so: status 1 and the errors-list line naming the file.
expect_write_failure() {  # output file name, what
    [[ $status -eq 1 ]] || fail "$2: exit status $status, expected 1"
    grep -qxF -- "$1"$'\t0\tUnable to write output file Code : 1c' "$work/stderr" ||
        fail "$2: standard error does not report the failed write"
    [[ $(grep -c 'Unable to write output file' "$work/stderr") -eq 1 ]] ||
        fail "$2: the failed write is reported more than once"
    grep -qE '^Trawl: 600 files scanned, 1 folders scanned, 600 matching files, 0 bytes matching, 1 errors, ' \
        "$work/stdout" || fail "$2: the summary does not count the scan and its one error"
}

# $1 is a byte prefix of $2, shorter than it, and not empty unless allowed.
expect_prefix() {  # file, reference, what
    local size reference_size
    size=$(stat -c %s "$1")
    reference_size=$(stat -c %s "$2")
    [[ $size -lt $reference_size ]] || fail "$3: $size bytes written, the whole $reference_size fit on a full disk?"
    cmp -s -n "$size" "$1" "$2" || fail "$3: the file is not a prefix of what a run with room writes"
}

# The reference: the same settings with room on an ordinary disk.
reference() {  # name, extra key=value lines
    local name=$1
    shift
    write_settings "$work/$name" "$@"
    run
    [[ $status -eq 0 ]] || fail "reference run for $name: exit status $status"
    [[ $(grep -c $'\r$' "$work/$name") -ge 600 ]] || fail "reference run for $name wrote too little"
}

records=(chkOutputHeadings=1 chkOutputFullPath=1 chkOutputFilename=1 chkOutputSurround=1)
commands=(chkCommandFile=1 memCommandFileCount=2 'memCommandFile0=copy !1 X:\SAVE\!2' 'memCommandFile1=echo !2 done')
reference records.ref "${records[@]}"
reference commands.ref "${commands[@]}"
[[ $(head -c 9 "$work/records.ref") == '"Path","F' ]] || fail "reference records lack their headings line"

if [[ $mounted -eq 0 ]]; then
    write_settings /dev/full "${records[@]}"
    run
    expect_write_failure /dev/full "records to /dev/full"
    write_settings /dev/full "${commands[@]}"
    run
    expect_write_failure /dev/full "commands to /dev/full"
    echo "full device: failures reported (the tmpfs cases need the right to mount)"
    exit 0
fi

# Records, then commands, each alone on the tmpfs.
for kind in records commands; do
    rm -f "$disk"/*
    out="$disk/$kind.out"
    if [[ $kind == records ]]; then write_settings "$out" "${records[@]}"; else write_settings "$out" "${commands[@]}"; fi
    run
    expect_write_failure "$out" "$kind on a full tmpfs"
    expect_prefix "$out" "$work/$kind.ref" "$kind on a full tmpfs"
    echo "$kind: $(stat -c %s "$out") of $(stat -c %s "$work/$kind.ref") bytes reached the full disk"
done

# Append: lines already in the file stay byte for byte; what follows them is
# a prefix of a fresh run's output.
rm -f "$disk"/*
out="$disk/appended.out"
earlier_lines() { for i in $(seq 1 "$1"); do printf '%-30s\r\n' "EARLIER SCAN, LINE $i"; done; }
earlier_lines 200 >"$work/earlier"
cp "$work/earlier" "$out"
write_settings "$out" chkAppend=1 "${records[@]}"
run
expect_write_failure "$out" "append on a full tmpfs"
earlier_size=$(stat -c %s "$work/earlier")
cmp -s -n "$earlier_size" "$out" "$work/earlier" || fail "append: the earlier lines were damaged"
tail -c +"$((earlier_size + 1))" "$out" >"$work/appended.tail"
expect_prefix "$work/appended.tail" "$work/records.ref" "append on a full tmpfs"

# Append to a file on a disk with no room at all (the file fills its one
# page exactly, and a filler takes every other page): nothing added, nothing lost.
rm -f "$disk"/*
earlier_lines 128 >"$work/earlier"
cp "$work/earlier" "$out"
dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
write_settings "$out" chkAppend=1 "${commands[@]}"
run
expect_write_failure "$out" "append with no room at all"
cmp -s "$out" "$work/earlier" || fail "append with no room: the file changed"

# The window state is written when the run closes the window; on a full disk
# that write fails, is reported, and the earlier state file stays whole.
rm -f "$disk"/*
mkdir -p "$disk/trawl"
printf '[Size]\r\nWidth=700\r\nHeight=520\r\n' >"$disk/trawl/TRAWL.INI"
cp "$disk/trawl/TRAWL.INI" "$work/state.before"
dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
write_settings "$work/state-run.out" "${records[@]}"
config=$disk run
[[ $status -eq 0 ]] || fail "window state on a full disk: exit status $status"
grep -qxF "Trawl: Unable to write to $disk/trawl/TRAWL.INI" "$work/stderr" ||
    fail "window state on a full disk: the failed write is not reported"
cmp -s "$disk/trawl/TRAWL.INI" "$work/state.before" || fail "window state on a full disk: the state file was damaged"
[[ -z $(find "$disk/trawl" -name '.trawl-*') ]] || fail "window state on a full disk: a temporary file was left"
cmp -s "$work/state-run.out" "$work/records.ref" || fail "window state on a full disk: the output file is wrong"

echo "full disk: every failure reported, every file a correct prefix, earlier content kept"
