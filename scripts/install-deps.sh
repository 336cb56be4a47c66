#!/usr/bin/env bash
# Installs what Trawl needs to build, run and test on Debian 12. Idempotent and
# quiet when everything is already there. Runs as root, or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config   # compiler and build
    clang                                           # the thread-safety analysis (scripts/test-sanitizers.sh)
    qt6-base-dev libgl-dev                          # Qt 6 Widgets (its CMake files need GL)
    libgtest-dev libgmock-dev                       # tests
    libldap-dev                                     # the [LDAP] directory (OpenLDAP's client library)
    libsqlite3-dev sqlite3                          # the history of scans (and the sqlite3 shell its docs use)
    slapd ldap-utils openssl                        # a private directory server for the tests and demo-ldap.sh
    samba smbclient                                 # a private file server whose DOS attributes the tests read
    fonts-dejavu-core                               # a font for the offscreen renders
    lintian desktop-file-utils appstream man-db groff-base   # checks of the Debian package
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
