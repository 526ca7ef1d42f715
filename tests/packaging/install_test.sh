#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a staging folder and checks what a desktop needs:
# exactly the expected files, icons of the right sizes with transparency, a
# desktop entry and AppStream metadata that pass their validators and name the
# installed program, icon and version.
#
#     install_test.sh BUILD_DIR EXPECTED_FILES VERSION
set -euo pipefail
build=$1
expected_list=$2
version=$3
source "$(dirname "${BASH_SOURCE[0]}")/check_lib.sh"
need_tool desktop-file-validate desktop-file-utils
need_tool appstreamcli appstream

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" > "$stage/install.log" ||
    { cat "$stage/install.log" >&2; exit 1; }
root=$stage/usr

installed=$(cd "$root" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[[ $installed == "$(expected_files "$expected_list")" ]] ||
    fail "installed files differ from the expected list:"$'\n'"$(diff <(expected_files "$expected_list") <(echo "$installed") || true)"

[[ -x $root/bin/tarnvik ]] || fail "bin/tarnvik is not executable"

# Colour type 6 is RGBA: the icon keeps its transparent background.
for size in 16 32 48; do
    png=$root/share/icons/hicolor/${size}x${size}/apps/tarnvik.png
    [[ -f $png ]] || continue
    header=$(png_header "$png")
    [[ $header == "$size $size 6" ]] ||
        fail "$png: width, height, colour type are '$header', expected '$size $size 6'"
done
svg=$root/share/icons/hicolor/scalable/apps/tarnvik.svg
if [[ -f $svg ]]; then
    grep -q '<svg ' "$svg" || fail "$svg has no <svg> element"
    grep -q 'viewBox="0 0 32 32"' "$svg" || fail "$svg lacks the 32 x 32 view box"
    grep -q '<ellipse\|<path\|<polyline' "$svg" || fail "$svg draws nothing"
fi

desktop=$root/share/applications/tarnvik.desktop
if [[ -f $desktop ]]; then
    # Hints count too: one says that the entry would land in no menu section.
    report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $report ]] ||
        fail "desktop-file-validate: ${report:-rejected}"
    [[ $(desktop_value "$desktop" Name) == tarnvik ]] || fail "desktop entry Name is not tarnvik"
    exec_name=$(desktop_value "$desktop" Exec)
    [[ -x $root/bin/${exec_name%% *} ]] || fail "desktop entry Exec '$exec_name' is not an installed program"
    icon=$(desktop_value "$desktop" Icon)
    for f in 16x16/apps/$icon.png 32x32/apps/$icon.png 48x48/apps/$icon.png scalable/apps/$icon.svg; do
        [[ -f $root/share/icons/hicolor/$f ]] || fail "desktop entry Icon '$icon' has no hicolor/$f"
    done
fi

metainfo=$root/share/metainfo/com.velsorin.tarnvik.metainfo.xml
if [[ -f $metainfo ]]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "metainfo does not carry release $version"
    grep -q '<launchable type="desktop-id">tarnvik.desktop</launchable>' "$metainfo" ||
        fail "metainfo does not launch tarnvik.desktop"
    grep -q '<id>com.velsorin.tarnvik</id>' "$metainfo" ||
        fail "metainfo file name and component id differ"
fi
finish
