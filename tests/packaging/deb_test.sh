#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with CPack into a scratch folder and checks it:
# name, version, the libraries found in the executable plus the fonts,
# exactly the expected files under /usr, and that lintian finds nothing
# against Debian's policy but the placeholder maintainer address (the
# default of TARNVIK_PACKAGE_CONTACT, which a real build replaces).
#
#     deb_test.sh BUILD_DIR EXPECTED_FILES VERSION
set -euo pipefail
build=$1
expected_list=$2
version=$3
source "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"
need_tool dpkg-shlibdeps dpkg-dev
need_tool dpkg-deb dpkg
need_tool lintian lintian

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" > "$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; exit 1; }
shopt -s nullglob
debs=("$out"/*.deb)
((${#debs[@]} == 1)) || { echo "FAIL: expected one package, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
[[ $(basename "$deb") == tarnvik_${version}_$(dpkg --print-architecture).deb ]] ||
    fail "package file is named $(basename "$deb")"

[[ $(dpkg-deb -f "$deb" Package) == tarnvik ]] || fail "Package is not tarnvik"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "Version is not $version"

# Depends, one package name a line, versions dropped.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d')
for pkg in fonts-liberation libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 \
    libqt6sql6 libqt6sql6-sqlite libqt6sql6-psql; do
    grep -qx "$pkg" <<< "$depends" || fail "Depends lacks $pkg: $(dpkg-deb -f "$deb" Depends)"
done
# Build-time only: the icon renderer's library must not reach the package.
grep -qx 'libqt6svg6' <<< "$depends" && fail "Depends names libqt6svg6, which the program does not use"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sed 's|^\./usr/||' | LC_ALL=C sort)
[[ $files == "$(expected_files "$expected_list")" ]] ||
    fail "package files differ from the expected list:"$'\n'"$(diff <(expected_files "$expected_list") <(echo "$files") || true)"

# Errors and warnings; exit status 2 means some were found, 1 that lintian
# itself failed.
status=0
lintian "$deb" > "$out/lintian.log" 2> "$out/lintian.err" || status=$?
((status == 0 || status == 2)) || fail "lintian failed ($status): $(cat "$out/lintian.err")"
placeholder='^[EW]: tarnvik: (bogus-mail-host|bogus-mail-host-in-debian-changelog) (Maintainer )?[^ ]*@localhost( |$)'
findings=$(grep -E '^[EW]: ' "$out/lintian.log" | grep -Ev "$placeholder" || true)
[[ -z $findings ]] || fail "lintian:"$'\n'"$findings"
finish
