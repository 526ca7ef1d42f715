#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compiles the Windows version resource with the MinGW resource compiler and
# reads it back: it must compile, and carry the names and the version block.
#
#     version_resource_test.sh WINDRES RC_FILE TITLE COMPANY VERSION_BLOCK MAJOR MINOR PATCH
set -euo pipefail
windres=$1
rc=$2
title=$3
company=$4
block=$5
numbers="$6, $7, $8, 0"
source "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Through the binary form and back, so that what is read is what was compiled.
"$windres" --preprocessor=cpp -i "$rc" -O res -o "$scratch/tarnvik.res"
"$windres" -i "$scratch/tarnvik.res" -O rc -o "$scratch/decompiled.rc"
decompiled=$(cat "$scratch/decompiled.rc")

expect_line()
{
    grep -qxF "$1" <<< "$(sed 's/^[[:space:]]*//' <<< "$decompiled")" || fail "resource lacks: $1"
}
expect_line "FILEVERSION $numbers"
expect_line "PRODUCTVERSION $numbers"
expect_line "VALUE \"CompanyName\", \"$company\""
expect_line "VALUE \"FileVersion\", \"$block\""
expect_line "VALUE \"ProductVersion\", \"$block\""
expect_line "VALUE \"InternalName\", \"$title\""
expect_line "VALUE \"ProductName\", \"$title\""
expect_line "VALUE \"OriginalFilename\", \"$title.exe\""
expect_line 'VALUE "Translation", 0x409, 1200'
finish
