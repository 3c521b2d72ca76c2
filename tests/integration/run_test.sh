#!/usr/bin/env bash
# run_test.sh BUILD NAME: the recorder run end to end on scenarios/NAME.scn,
# as the README's command runs it, then what a driver would check: the card
# is sound and still the recorder's layout, the program ended as it should,
# its log is on the card and the LCD was captured.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
name=$2
out=/tmp/run
export DASHREC_RUN_GRACE=4
run_scenario "$build" "$INTEGRATION_DIR/scenarios/$name.scn" "$out"
echo "run status $RUN_STATUS; its output: $(tail -3 "$out.log")"

# The card log as text: the ring's bytes with the log's substitution undone.
card_log_text() {
    python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
sys.stdout.write(bytes(((b - 91) * 23) & 0xFF for b in data if b).decode("latin-1"))
' "$out/card-log/HISTORY.DM1"
}

expect_log() { # card-log-text line...
    local text=$1 line
    shift
    for line in "$@"; do
        grep -qF "$line" <<<"$text" || fail "the card log has no \"$line\""
    done
}

expect_screenshots() {
    local shot
    shot=$(find "$out/screenshots" -name '*.png' | sort | head -1)
    [[ -n $shot ]] || fail "no screenshot"
    [[ $(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$shot") == "480,320" ]] ||
        fail "$shot is not the 480 x 320 LCD"
}

case $name in
drive)
    # Ended through the bus, as the launcher's exit does; the card log holds the run.
    [[ $RUN_STATUS == 0 ]] || fail "dashrec ended with $RUN_STATUS"
    [[ -e /tmp/exit ]] || fail "no exit marker for the launcher"
    grep -qx "START 0 0" "$out/mcu.log" || fail "the MCU link never started: $(cat "$out/mcu.log")"
    expect_log "$(card_log_text)" "DVR starts" "Send Event Message" "Battery+ Down" "[CMainDvr]WM::EXIT"
    expect_screenshots
    ;;
power_cut)
    # Killed mid-run, nothing written back by the program itself: the card is still sound.
    [[ $RUN_STATUS == 137 ]] || fail "dashrec was not killed: status $RUN_STATUS"
    [[ ! -e /tmp/exit ]] || fail "a killed program left an exit marker"
    grep -q "killed" "$out/boardsim.log" || fail "boardsim did not kill: $(cat "$out/boardsim.log")"
    ;;
card_swap)
    [[ $RUN_STATUS == 0 ]] || fail "dashrec ended with $RUN_STATUS"
    grep -q "card out" "$out/boardsim.log" && grep -q "card in" "$out/boardsim.log" &&
        ! grep -q "failed\|no card image" "$out/boardsim.log" || fail "$(cat "$out/boardsim.log")"
    [[ $(cat /sys/sdcard0/detect) == 1 ]] || fail "the card is not detected after it went back in"
    expect_screenshots
    ;;
*)
    fail "no checks for scenario $name"
    ;;
esac
! grep -l "ERROR: [A-Za-z]*Sanitizer\|runtime error:" "$out/dashrec.log" "$out/boardsim.log" ||
    fail "a sanitizer reported an error"
check_card "$build" "$out/sd.img"
echo "$name: the run checks out"
