#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows serial path under Wine, against simulated boards and null
# modems on Linux, and the program's own files.
#
#     serial_path_test.sh WINE_RUN SIM RUN_EXE PROGRAM_EXE WORK_DIR
#
# Starts two simulated boards (SIM, built for Linux) on pseudo-terminals and
# two null modems (socat joining two pseudo-terminals), runs RUN_EXE
# (serial_path_run.exe) through WINE_RUN with the boards' terminals as COM1
# and COM3, the null modems' ends as COM2-COM6 and COM4-COM8, and no other
# serial device, in a copy of the clean prefix $TARNVIK_WINE_CLEAN_PREFIX (its
# wineserver must live in this namespace), hangs up a board or null modem
# when the program asks, and then compares the frames each board received
# with what the program's clicks send.
#
# Then the program itself (PROGRAM_EXE) runs with --trace on a Windows path
# and COM1 on a third null modem whose other end this script plays: a result
# line must reach the results file in %APPDATA% and the trace.
set -euo pipefail
wine_run=$1 sim=$2 exe=$3 program=$4 work=$5

[[ -n ${DISPLAY:-} ]] || {
    echo "needs an X server in DISPLAY (scripts/test-windows starts Xvfb)" >&2
    exit 1
}
[[ -d ${TARNVIK_WINE_CLEAN_PREFIX:-} ]] || {
    echo "TARNVIK_WINE_CLEAN_PREFIX is not set (run through scripts/test-windows)" >&2
    exit 1
}
grep -q '^"COM8"="/dev/ttyS7"' "$TARNVIK_WINE_CLEAN_PREFIX/system.reg" || {
    echo "the clean prefix does not name COM1-COM8 (run through scripts/test-windows)" >&2
    exit 1
}
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
cp -a "$TARNVIK_WINE_CLEAN_PREFIX" "$WINEPREFIX"

pids=()
declare -A pid_of=()
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
    pid_of[$name]=$!
}
# A null modem NAME; its two terminals' paths become NAME.path.
start_null_modem() {
    local name=$1
    socat -d -d pty,raw,echo=0 pty,raw,echo=0 2>"$work/$name.log" &
    pids+=($!)
    pid_of[$name]=$!
    for _ in $(seq 100); do
        (($(grep -c 'PTY is' "$work/$name.log") == 2)) && break
        sleep 0.05
    done
    sed -n 's/.*PTY is //p' "$work/$name.log" >"$work/$name.path"
}
end_of() { sed -n "$2p" "$work/$1.path"; }
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
start_null_modem com2
start_null_modem com4
for end in "$(end_of com2 1)" "$(end_of com2 2)" "$(end_of com4 1)" "$(end_of com4 2)"; do
    [[ $end == /dev/pts/* ]] || {
        echo "the null modems did not start" >&2
        exit 1
    }
done

log="$work/run.txt"
TARNVIK_SERIAL_RUN_DIR="Z:${work//\//\\}" \
    "$wine_run" --port "1=$com1" --port "3=$com3" \
    --port "2=$(end_of com2 1)" --port "6=$(end_of com2 2)" \
    --port "4=$(end_of com4 1)" --port "8=$(end_of com4 2)" \
    -- "$exe" -o "Z:${log//\//\\},txt" >"$work/wine.log" 2>&1 &
run_pid=$!
# The program asks for a hang-up; that board or null modem goes away.
while kill -0 "$run_pid" 2>/dev/null; do
    for name in "${!pid_of[@]}"; do
        if [[ -e $work/hang-up-$name && ! -e $work/hung-up-$name ]]; then
            kill "${pid_of[$name]}"
            wait "${pid_of[$name]}" 2>/dev/null || true
            touch "$work/hung-up-$name"
        fi
    done
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
cleanup
pids=()

# The program itself: a result line from the board reaches the results file
# in %APPDATA% and the trace given as a Windows path, with a blank in it.
export WINEPREFIX="$work/program-prefix"
cp -a "$TARNVIK_WINE_CLEAN_PREFIX" "$WINEPREFIX"
start_null_modem program
board=$(end_of program 2)
stty -F "$board" raw -echo
cat "$board" >"$work/program-frames" &
pids+=($!)
trace='C:\users\Public\Documents\tarnvik trace.txt'
"$wine_run" --port "1=$(end_of program 1)" -- "$program" --trace "$trace" >"$work/program.log" 2>&1 &
pids+=($!)
files_fail() {
    echo "FAIL: $*" >&2
    cat "$work/program.log" >&2
    exit 1
}
# The four start-up frames end with Read Stat.
for _ in $(seq 300); do
    grep -qa $'\x0218;;DF\x03' "$work/program-frames" && break
    sleep 0.1
done
grep -qa $'\x0218;;DF\x03' "$work/program-frames" || files_fail "tarnvik.exe sent no start-up frames on COM1"
printf '\x02S0001 A 160    120080093  072\r' >"$board"
results=""
for _ in $(seq 150); do
    results=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/Velsorin/tarnvik/results.csv' | head -n1)
    [[ -n $results ]] && (($(wc -l <"$results") >= 2)) && break
    sleep 0.1
done
for _ in 1 2 3 4 5; do
    "$wine_run" wineserver -k >/dev/null 2>&1 || true
    sleep 1
    kill -0 "${pids[-1]}" 2>/dev/null || break
done
[[ -n $results ]] || files_fail "no results.csv under %APPDATA%\\Velsorin\\tarnvik"
echo "results file: ${results#"$WINEPREFIX"/}"
cat "$results"
header='time,port,device,patient,pump-up,cycle,systolic,diastolic,mean,pulse,outcome,raw line'
[[ $(sed -n 1p "$results") == "$header"$'\r' ]] || files_fail "the results file's header differs"
row=$(sed -n 2p "$results")
[[ $row == *,COM1,COM1,Adult,160\ mmHg,Manual,120,080,093,072,result,'<STX>S0001 A 160    120080093  072'$'\r' ]] ||
    files_fail "the result row differs: $row"
trace_file="$WINEPREFIX/drive_c/users/Public/Documents/tarnvik trace.txt"
[[ -f $trace_file ]] || files_fail "no trace at $trace"
grep -q ' COM1 opened' "$trace_file" && grep -q ' COM1 sent <STX>18;;DF<ETX>' "$trace_file" &&
    grep -q ' COM1 received <STX>S0001 A 160    120080093  072<CR>' "$trace_file" ||
    files_fail "the trace lacks the port's opening, a frame or the result line: $(cat "$trace_file")"
echo "results file and trace written under Windows paths"
exit "$rc"
