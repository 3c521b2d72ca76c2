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
# A power-down takes the recorder some 17 s: runs that end by themselves get that long.
case $name in
drive | ignition_off) export DASHREC_RUN_GRACE=25 ;;
card_swap) export DASHREC_RUN_GRACE=12 ;; # recording again after the card is back
*) export DASHREC_RUN_GRACE=4 ;;
esac
if [[ $name == speedcam ]]; then
    # The scenario's camera in the database that ships; a copy on the eMMC
    # cut short after its header, as a card pulled mid-copy once left one.
    make_db=$build/tests/speedcam/make_speedcam_db
    mkdir -p /app/kvo /data/app
    "$make_db" /app/kvo/sc_cam.idb RUN-SHIPPED 37.5659 126.9780 0 100
    "$make_db" /data/app/sc_cam.idb RUN-EMMC 37.5659 126.9780 0 100
    truncate -s 20 /data/app/sc_cam.idb
fi
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

# The recorder powered itself down: it asked the MCU three times to cut the
# supply, left the launcher its marker and ended by itself.
expect_shutdown() {
    [[ $RUN_STATUS == 0 ]] || fail "dashrec ended with $RUN_STATUS"
    [[ -e /tmp/shutdown ]] || fail "no power-off marker for the launcher"
    grep -qx "START 0 0" "$out/mcu.log" || fail "the MCU link never started: $(cat "$out/mcu.log")"
    [[ $(grep -cx "POWER_OFF 0 0" "$out/mcu.log") == 3 ]] || fail "not three power-off commands: $(cat "$out/mcu.log")"
    grep -q -- "---------- SYSTEM SHUTDOWN ----------" "$out/dashrec.log" || fail "no shutdown sequence"
    ! grep -q "^\[run\] asking dashrec to end" "$out.log" || fail "dashrec did not end by itself"
}

case $name in
drive)
    # Recording on the road, an event at the shock, parked, a passer-by, the road again, the supply cut.
    expect_shutdown
    expect_log "$(card_log_text)" "DVR starts" "Send Event Message" "ACC off, parking mode" "Battery+ Down"
    normal=$(pairs "$out" NORMAL NORM)
    (($(wc -l <<<"$normal") >= 2)) || fail "no NORMAL recording after the ignition came back: $normal"
    probe_pair "$out" NORMAL "NORM$(head -1 <<<"$normal")" 5
    event=$(pairs "$out" EVENT EVEN)
    [[ -n $event && $(wc -l <<<"$event") == 1 ]] || fail "not one EVENT recording: $event"
    probe_pair "$out" EVENT "EVEN$event" 10
    shock=$(shock_seconds "$out/recordings/EVENT/EVEN${event}F.MP4") || fail "the event recording shows no shock"
    # What the camera saw before the shock is in the event recording.
    awk -v s="$shock" 'BEGIN { exit !(s >= 1) }' || fail "the event recording starts $shock s before the shock"
    parking=$(pairs "$out" PARKING PARK)
    [[ -n $parking && $(wc -l <<<"$parking") == 1 ]] || fail "not one PARKING recording: $parking"
    probe_pair "$out" PARKING "PARK$parking" 3
    expect_screenshots
    ;;
ignition_off)
    CARD_LAYOUT=(wqhd fhd 30 0 sd mstar) # no parking area
    expect_shutdown
    expect_log "$(card_log_text)" "DVR starts" "[AccDetect]ACC OFF" "ACC off, power-down"
    ;;
power_cut)
    # Killed mid-run, nothing written back by the program itself: the card is still sound,
    # and each recording plays up to shortly before the cut.
    [[ $RUN_STATUS == 137 ]] || fail "dashrec was not killed: status $RUN_STATUS"
    [[ ! -e /tmp/exit ]] || fail "a killed program left an exit marker"
    killed=$(moment "$out" killed)
    normal=$(pairs "$out" NORMAL NORM)
    [[ -n $normal && $(wc -l <<<"$normal") == 1 ]] || fail "not one NORMAL recording: $normal"
    plays_until "$out" "$out/recordings/NORMAL/NORM${normal}F.MP4" "$killed"
    plays_until "$out" "$out/recordings/NORMAL/NORM${normal}R.MP4" "$killed"
    ;;
card_swap)
    # Recording before the card left and again soon after it came back.
    [[ $RUN_STATUS == 0 ]] || fail "dashrec ended with $RUN_STATUS"
    ! grep -q "failed\|no card image" "$out/boardsim.log" || fail "$(cat "$out/boardsim.log")"
    [[ $(cat /sys/sdcard0/detect) == 1 ]] || fail "the card is not detected after it went back in"
    out_at=$(moment "$out" "card left the slot")
    in_at=$(moment "$out" "card goes into the slot")
    normal=$(pairs "$out" NORMAL NORM)
    [[ $(wc -l <<<"$normal") == 2 ]] || fail "not a NORMAL recording before and one after the swap: $normal"
    plays_until "$out" "$out/recordings/NORMAL/NORM$(head -1 <<<"$normal")F.MP4" "$out_at"
    again=$(recording_start "$out/dashrec.log" "NORM$(tail -1 <<<"$normal")F.MP4")
    awk -v i="$in_at" -v a="$again" -v r="${RESUME_SECONDS:-8}" 'BEGIN { exit !(a > i && a - i < r) }' ||
        fail "recording resumed $(awk -v i="$in_at" -v a="$again" 'BEGIN { print a - i }') s after the card went back in"
    echo "recording resumed $(awk -v i="$in_at" -v a="$again" 'BEGIN { print a - i }') s after the card went back in"
    probe_pair "$out" NORMAL "NORM$(tail -1 <<<"$normal")" 2
    expect_screenshots
    ;;
speedcam)
    # The damaged copy refused, the shipped database searched with the GN
    # module's fixes, the camera announced with its limit and released, one
    # prompt after another (in the sound player's log).
    [[ $RUN_STATUS == 137 ]] || fail "dashrec was not killed: status $RUN_STATUS"
    grep -qx "\[boardsim\] 0s gps talker GN" "$out/boardsim.log" || fail "the module did not talk GN"
    log=$(tr -d '\r' < "$out/dashrec.log")
    grep -F -e "sc_cam.idb" -e "RESULT_CAMERA" -e "GetSound" <<<"$log" || true
    for line in "[SpeedCamDB]/data/app/sc_cam.idb holds 20 bytes, not the 42 of 1 records" \
        "[SpeedCam]Load /app/kvo/sc_cam.idb success" "RESULT_CAMERA_SEARCH_DIST" \
        "GetSoundNotiInfo : kindCode = 1, subCode = 0, speed = 90, restrictSpeed = 100" \
        "GetSoundReleaseInfo : kindCode = 1, subCode = 0"; do
        grep -qF "$line" <<<"$log" || fail "the program's log has no \"$line\""
    done
    played=$(sed -n 's|^aplay /app/kvo/rsc/sound/\(R_[^ ]*\)\.wav$|\1|p' "$DASHREC_HOST_DIR/shims.log" | paste -sd ' ')
    echo "prompts played: $played"
    [[ $played == "R_dingdong R_01_SP_01_8 R_02_100_10 R_release" ]] || fail "not the camera's prompts: $played"
    ;;
*)
    fail "no checks for scenario $name"
    ;;
esac
! grep -l "ERROR: [A-Za-z]*Sanitizer\|runtime error:" "$out/dashrec.log" "$out/boardsim.log" ||
    fail "a sanitizer reported an error"
check_card "$build" "$out/sd.img"
echo "$name: the run checks out"
