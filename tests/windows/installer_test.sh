#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows installer under Wine, in a fresh prefix (a copy of
# $TARNVIK_WINE_CLEAN_PREFIX) on the X server in $DISPLAY:
#
#     installer_test.sh WINE_RUN INSTALLER EXPECTED_FILES WORK_DIR
#
# silent install (/S); the install folder holds exactly EXPECTED_FILES plus the
# uninstaller; a Start-menu shortcut and an uninstall entry exist; the
# installed tarnvik.exe starts with nothing but its own folder and Windows'
# to load libraries from, and shows its window; silent uninstall removes the
# folder and the shortcut. WINE_RUN gives the program no serial device at all.
set -euo pipefail
wine_run=$1 installer=$2 expected=$3 work=$4

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ -d ${TARNVIK_WINE_CLEAN_PREFIX:-} ]] || fail "TARNVIK_WINE_CLEAN_PREFIX is not set (run through scripts/test-windows)"
[[ -n ${DISPLAY:-} ]] || fail "needs an X server in DISPLAY (scripts/test-windows starts Xvfb)"
[[ -f $installer ]] || fail "no installer at $installer (run scripts/build-windows)"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
cp -a "$TARNVIK_WINE_CLEAN_PREFIX" "$WINEPREFIX"
# Nothing but the install folder and Windows' own folders to find libraries in.
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM QT_QPA_PLATFORM_PLUGIN_PATH
trap '"$wine_run" wineserver -k >/dev/null 2>&1 || true' EXIT

dir="$WINEPREFIX/drive_c/Program Files/Velsorin/tarnvik"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"

"$wine_run" bash -c 'wine "$1" /S && wineserver -w' installer "$installer"
[[ -d $dir ]] || fail "nothing installed in Program Files\\Velsorin\\tarnvik"
diff <({ cat "$expected"; echo Uninstall.exe; } | LC_ALL=C sort) \
    <(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) ||
    fail "the install folder differs from $expected (+ Uninstall.exe)"
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -iname tarnvik.lnk | head -n1)
[[ -n $shortcut ]] || fail "no Start-menu shortcut"
grep -qi 'CurrentVersion\\\\Uninstall\\\\Velsorin tarnvik' "$WINEPREFIX/system.reg" ||
    fail "no uninstall entry in the registry"
echo "installed: $(cd "$dir" && find . -type f | wc -l) files, shortcut ${shortcut#"$WINEPREFIX"/}"

# The installed program shows its window ("Corvana") within 30 s.
"$wine_run" "$dir/tarnvik.exe" >"$work/tarnvik.log" 2>&1 &
program=$!
shown=""
for _ in $(seq 60); do
    if xwininfo -root -tree | grep -q '"Corvana"'; then
        shown=yes
        break
    fi
    sleep 0.5
done
[[ -n $shown ]] || {
    cat "$work/tarnvik.log" >&2
    fail "the installed tarnvik.exe showed no window"
}
echo "the installed tarnvik.exe shows its window"
# Ends the prefix's processes; a kill that comes while the server is busy
# starting can go unheard, so it is repeated until the program is gone.
for _ in 1 2 3 4 5; do
    "$wine_run" wineserver -k >/dev/null 2>&1 || true
    sleep 1
    kill -0 "$program" 2>/dev/null || break
done
kill -KILL "$program" 2>/dev/null || true
{ wait "$program" || true; } 2>/dev/null

"$wine_run" bash -c 'wine "$1" /S && wineserver -w' uninstaller "$dir/Uninstall.exe"
[[ ! -e $dir ]] || fail "the uninstaller left $(cd "$dir" && find . | tr '\n' ' ')"
[[ ! -e $shortcut ]] || fail "the uninstaller left the shortcut"
grep -qi 'CurrentVersion\\\\Uninstall\\\\Velsorin tarnvik' "$WINEPREFIX/system.reg" &&
    fail "the uninstall entry is still in the registry"
echo "uninstalled"
