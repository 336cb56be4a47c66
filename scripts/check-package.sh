#!/usr/bin/env bash
# Builds the Debian package from an existing build and checks it as a user of
# it would meet it: lintian reports no error, the desktop entry, the AppStream
# file and the manual page pass their validators, and the program unpacked
# from the package (not the one in the build folder) answers --version and
# --help, finds its help file under its own prefix, and runs an unattended scan
# on a workstation file found in a system configuration folder.
#
#   check-package.sh [build folder]     (build/ by default)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${TRAWL_BUILD_DIR:-$top/build}}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/trawl-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(TRAWL_BUILD_DIR=$build bash "$top/scripts/package.sh" 2>"$work/package.log" | tail -n 1) || true
[[ -f $deb ]] || { cat "$work/package.log" >&2; fail "no package was made"; }
echo "package: $deb"

# The version has one source, the project's; the changelog, the AppStream
# file and the manual page each name it too.
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(dpkg-parsechangelog -l "$top/packaging/changelog" -S Version)
[[ $version == "$changelog_version" ]] ||
    fail "the package is $version but packaging/changelog begins with $changelog_version"
release=$(grep -o '<release version="[^"]*"' "$top/packaging/"*.metainfo.xml | head -n 1 | cut -d'"' -f2)
[[ ${version%-*} == "$release" ]] || fail "the package is $version but the AppStream file's newest release is $release"
grep -q "^\.TH TRAWL 1 .* \"Trawl ${version%-*}\"" "$top/packaging/trawl.1" ||
    fail "the manual page's title line does not name Trawl ${version%-*}"
[[ $(dpkg-deb -f "$deb" Section) == utils ]] || fail "the section is not utils"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the dependencies were not computed from the binary"

echo "--- lintian"
# lintian warns when it runs as root (CI, this machine); that line is not about the package.
status=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[[ $status -eq 0 ]] || fail "lintian reports errors (status $status)"

root=$work/root
dpkg-deb -x "$deb" "$root"
for path in usr/bin/trawl usr/share/trawl/TRAWL.HLP usr/share/applications/trawl.desktop \
    usr/share/icons/hicolor/scalable/apps/trawl.svg usr/share/man/man1/trawl.1.gz \
    usr/share/doc/trawl/copyright usr/share/doc/trawl/changelog.Debian.gz usr/share/doc/trawl/README.md \
    usr/share/doc/trawl/workstation.md usr/share/doc/trawl/workstation.ini; do
    [[ -f $root/$path ]] || fail "the package holds no /$path"
done

echo "--- desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/trawl.desktop" || fail "the desktop entry is invalid"
echo "--- appstreamcli validate --no-net"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "the AppStream file is invalid"
echo "--- man --warnings"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/trawl.1.gz" >"$work/man.txt" 2>"$work/man.err" ||
    fail "the manual page does not render"
if [[ -s $work/man.err ]]; then
    cat "$work/man.err" >&2
    fail "the manual page renders with warnings"
fi
grep -q 'EXIT STATUS' "$work/man.txt" || fail "the rendered manual page has no EXIT STATUS"

# The unpacked program, on a machine without a display, in a home of its own.
# Its workstation file is in a system configuration folder, as an
# administrator would set one up in /etc/xdg/trawl for every user.
trawl=$root/usr/bin/trawl
volume=$work/volumes/fs1-sys
mkdir -p "$volume/SUB" "$work/home" "$work/system/trawl"
printf 'hello' >"$volume/A.TXT"
printf '1234567' >"$volume/SUB/B.TXT"
printf 'data' >"$volume/C.DAT"
printf '[Volumes]\nFS1/SYS=%s\n\n[Drives]\nF=FS1/SYS:\n' "$volume" >"$work/system/trawl/workstation.ini"
cat >"$work/scan.tws" <<TWS
[TRAWL]
cboPattern=*.TXT
cboPath=F:\\
optSizeIgnore=1
optDateIgnore=1
dtpBefore=36892
dtpAfter=36892
dtpExact=36892
chkOutputResults=1
chkOutputFullPath=1
chkOutputSize=1
optOutputSepComma=1
txtOutputFilename=$work/found.csv
TWS
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u NWCLIENT_CONFIG HOME="$work/home" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_CONFIG_DIRS="$work/nothing:$work/system" TZ=UTC \
        timeout 60 "$trawl" "$@"
}

echo "--- the unpacked program"
[[ $(run --version) == "Trawl ${version%-*}" ]] || fail "--version does not print Trawl ${version%-*}"
run --help >"$work/help.txt" || fail "--help does not exit with status 0"
grep -qx "Help file: $root/usr/share/trawl/TRAWL.HLP" "$work/help.txt" ||
    fail "the unpacked program does not find its help file: $(grep 'Help file' "$work/help.txt")"
grep -qx "Workstation file now: $work/system/trawl/workstation.ini" "$work/help.txt" ||
    fail "the unpacked program does not find the system workstation file"
status=0
run "/settings=$work/scan.tws" /autorun /autoclose >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stdout" "$work/stderr"
[[ $status -eq 0 ]] || fail "the unattended run ended with status $status"
[[ $(tr -d '\r' <"$work/found.csv") == $'F:\\A.TXT,5\nF:\\SUB\\B.TXT,7' ]] ||
    fail "the unattended run wrote: $(cat "$work/found.csv")"
grep -q '^Trawl: 2 files scanned, 1 folders scanned, 2 matching files, 12 bytes matching, 0 errors' "$work/stdout" ||
    fail "the summary line is not as expected"
# The example workstation file starts the client once its folders exist.
example=$work/example
mkdir -p "$example/srv/sys" "$example/srv/data/PUBLIC" "$example/srv/apps" "$example/home" "$example/etc/trawl"
sed "s|=/srv/nw/|=$example/srv/|; s|^C=/home\$|C=$example/home|" "$root/usr/share/doc/trawl/workstation.ini" \
    >"$example/etc/trawl/workstation.ini"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u NWCLIENT_CONFIG HOME="$example/home" \
    XDG_CONFIG_HOME="$example/home/.config" XDG_CONFIG_DIRS="$example/etc" \
    timeout 60 "$trawl" /autorun /autoclose >"$work/example.out" 2>&1 || status=$?
[[ $status -eq 0 ]] || { cat "$work/example.out" >&2; fail "the example workstation file does not start the client"; }

echo "PASS: $(basename "$deb") builds, validates, and its program runs from where it was unpacked"
