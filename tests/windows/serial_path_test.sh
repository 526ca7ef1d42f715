#!/usr/bin/env bash
# The Windows serial path under Wine, against simulated boards on Linux.
#
#     serial_path_test.sh WINE_RUN SIM RUN_EXE WORK_DIR
#
# Starts two simulated boards (SIM, built for Linux) on pseudo-terminals, runs
# RUN_EXE (serial_path_run.exe) through WINE_RUN with the boards' terminals as
# COM1 and COM3 and no other serial device, in a copy of the clean prefix
# $TARNVIK_WINE_CLEAN_PREFIX (its wineserver must live in this namespace),
# hangs up the COM3 board when the program asks, and then compares the frames
# each board received with what the program's clicks send.
set -euo pipefail
wine_run=$1 sim=$2 exe=$3 work=$4

[[ -n ${DISPLAY:-} ]] || {
    echo "needs an X server in DISPLAY (scripts/test-windows starts Xvfb)" >&2
    exit 1
}
[[ -d ${TARNVIK_WINE_CLEAN_PREFIX:-} ]] || {
    echo "TARNVIK_WINE_CLEAN_PREFIX is not set (run through scripts/test-windows)" >&2
    exit 1
}
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
cp -a "$TARNVIK_WINE_CLEAN_PREFIX" "$WINEPREFIX"
# Wine numbers the serial devices it finds in order (ttyS0 and ttyS2 would be
# COM1 and COM2) unless HKLM\Software\Wine\Ports names them: name all eight
# as COMn = /dev/ttyS<n-1>, before the prefix's wineserver starts and reads
# the registry. Only ttyS0 and ttyS2 exist in wine-run's private /dev.
ports=$(for n in 1 2 3 4 5 6 7 8; do printf '"COM%d"="/dev/ttyS%d"\\n' "$n" $((n - 1)); done)
awk -v ports="$ports" '{ print } /^\[Software\\\\Wine\\\\Ports\]/ { getline; print; printf "%s", ports }' \
    "$WINEPREFIX/system.reg" >"$work/system.reg"
mv "$work/system.reg" "$WINEPREFIX/system.reg"
grep -q '^"COM8"="/dev/ttyS7"' "$WINEPREFIX/system.reg" || {
    echo "could not name the ports in the prefix's registry" >&2
    exit 1
}

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    "$wine_run" wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

# One board; its terminal's path becomes the first line of NAME.path.
start_board() {
    local name=$1
    "$sim" --time-scale 1 --seed 1 --failure-rate 0 --verbose >"$work/$name.path" 2>"$work/$name.log" &
    pids+=($!)
    printf -v "${name}_pid" %s $!
}
terminal() {
    for _ in $(seq 100); do
        [[ -s $work/$1.path ]] && break
        sleep 0.05
    done
    head -n1 "$work/$1.path"
}
start_board com1
start_board com3
com1=$(terminal com1)
com3=$(terminal com3)
[[ $com1 == /dev/pts/* && $com3 == /dev/pts/* ]] || {
    echo "the simulated boards did not start" >&2
    exit 1
}

log="$work/run.txt"
TARNVIK_SERIAL_RUN_DIR="Z:${work//\//\\}" \
    "$wine_run" --port "1=$com1" --port "3=$com3" -- "$exe" -o "Z:${log//\//\\},txt" >"$work/wine.log" 2>&1 &
run_pid=$!
# The program asks for the hang-up; the board on COM3 goes away.
while kill -0 "$run_pid" 2>/dev/null; do
    if [[ -e $work/hang-up && ! -e $work/hung-up ]]; then
        kill "$com3_pid"
        wait "$com3_pid" 2>/dev/null || true
        touch "$work/hung-up"
    fi
    sleep 0.1
done
rc=0
wait "$run_pid" || rc=$?
cat "$log" 2>/dev/null || echo "no log from the program"

received() { sed -n 's/^<- //p' "$work/$1.log"; }
expected_com1="03;;D9 24;;DC 22;;DA 18;;DF 18;;DF 25;;DD 23;;DB 04;;DA 01;;D7 X 14;;DB X 17;;DE X"
got_com1=$(received com1 | tr '\n' ' ' | sed 's/ $//')
echo "COM1 received: $got_com1"
if [[ $got_com1 != "$expected_com1" ]]; then
    echo "COM1 expected: $expected_com1" >&2
    rc=1
fi
# After the switch COM3 gets the Read Stat click last, whatever the switch
# itself sent before it; COM1 got nothing more (checked above).
got_com3=$(received com3 | tr '\n' ' ' | sed 's/ $//')
echo "COM3 received: $got_com3"
if [[ $got_com3 != *"18;;DF" ]]; then
    echo "COM3 expected its last frame to be 18;;DF" >&2
    rc=1
fi
exit "$rc"
