#!/usr/bin/env bash
# run-inside.sh BUILD SCENARIO OUT: one run of the recorder inside the sandbox,
# as on the board: a card laid out by cardform is in its slot and mounted by
# the launcher, the board simulator plays the car along SCENARIO, and dashrec
# runs against both, its developer console asked for a screenshot every few
# seconds. The run ends when dashrec ends by itself (power-off, a kill) or,
# some seconds after the board simulator has played the scenario's last
# event, through its message bus as the launcher's exit would. Then the card is written back into its image and
# OUT holds what a driver would look at:
#   sd.img          the card            card-log/   its log and counters
#   recordings/     the recordings, by folder       screenshots/  the LCD
#   dashrec.log, boardsim.log, mcu.log, encoder (the encoder's mode)
#
# DASHREC_SOC_VENC=replay or live chooses the encoders; unset, a quick
# measurement does. DASHREC_SHOT_SECONDS sets the screenshot period (5),
# DASHREC_RUN_GRACE the seconds the run goes on after the last event (20: a
# power-down after a supply cut takes some 17 s).
set -euo pipefail
build=$(realpath "$1")
scenario=$(realpath "$2")
out=$(realpath -m "$3")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
card=$here/../card/card.sh
export MTOOLS_SKIP_CHECK=1

# The layout of the run's card: 1440p front, 1080p rear, at the default rates;
# without a parking area when the scenario switches parking mode off from the start.
LAYOUT=(wqhd fhd 30 30)
! grep -qE '^0(m?s)?[[:space:]]+parking[[:space:]]+off[[:space:]]*$' "$scenario" || LAYOUT=(wqhd fhd 30 0)
CARD_MIB=8192 # the smallest FAT32 card of this layout; a sparse file, so small on disk
GRACE_SECONDS=${DASHREC_RUN_GRACE:-20}
SHOT_SECONDS=${DASHREC_SHOT_SECONDS:-5}
FRAME_MS=33

mkdir -p "$out"/{screenshots,recordings,card-log}

say() { echo "[run] $*"; }

# Encodes a few frames of each camera's size; live when both together take
# well under a frame's interval.
encoder_mode() {
    local frames=20 start elapsed_ms size
    start=$(date +%s%N)
    for size in 2560x1440 1920x1080; do
        ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=30" -frames:v "$frames" \
            -c:v libx265 -preset ultrafast -x265-params log-level=none -f null - || { echo replay; return; }
    done
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    say "encoding a 1440p and a 1080p frame takes $((elapsed_ms / frames)) ms (a frame lasts $FRAME_MS ms)" >&2
    if ((elapsed_ms * 10 < frames * FRAME_MS * 7)); then echo live; else echo replay; fi
}

# False when this sandbox may not make loop devices (it needs root).
insert_card() {
    local image=$out/sd.img
    rm -f "$image"
    "$card" make "$image" "$CARD_MIB" && "$card" attach sd "$image" 2>/dev/null || return 1
    "$build/cardform/cardform" /dev/mmcblk1 "${LAYOUT[@]}" sd sd mstar > "$out/cardform.txt" ||
        { tail -5 "$out/cardform.txt" >&2; exit 1; }
    # The launcher mounts the card before it starts the recorder.
    mount /dev/mmcblk1p1 /mnt/extsd/
}

# A zombie is gone for the run's purpose.
alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) && [[ $state != Z ]]
}

# Screenshots land on the card's mount: moved out once written, upright as the panel shows them.
collect_screenshots() {
    local shot
    for shot in $(find /mnt/extsd -maxdepth 1 -name '[0-9][0-9][0-9][0-9].png' ! -newermt '-1 seconds' 2>/dev/null); do
        # A card pulled out takes a shot with it.
        ffmpeg -v error -y -i "$shot" -vf transpose=2 "$out/screenshots/$(basename "$shot")" 2>/dev/null &&
            rm -f "$shot" || true
    done
}

# The card's recordings (sparse copies) and its log.
copy_out() {
    local drive=$out/sd.img@@1M path
    mcopy -n -i "$drive" ::/SYSTEM/HISTORY.DM0 ::/SYSTEM/HISTORY.DM1 "$out/card-log/" 2>/dev/null || true
    while read -r path; do
        mkdir -p "$out/recordings/$(dirname "$path")"
        mcopy -n -i "$drive" "::/$path" - | dd of="$out/recordings/$path" bs=64K conv=sparse status=none
    done < <("$here/../card/card-files.sh" "$out/sd.img" '*.MP4')
}

if [[ -z ${DASHREC_SOC_VENC:-} ]]; then
    DASHREC_SOC_VENC=$(encoder_mode)
    [[ $DASHREC_SOC_VENC == live ]] && unset DASHREC_SOC_VENC
fi
mode=${DASHREC_SOC_VENC:-live}
echo "$mode" > "$out/encoder"
if [[ $mode == replay ]]; then
    say "encoding: replay of pre-encoded units (this machine does not encode both cameras in real time)"
    export DASHREC_SOC_VENC
    export DASHREC_SOC_REPLAY_DIR=${DASHREC_SOC_REPLAY_DIR:-$build/soc-replay}
    mkdir -p "$DASHREC_SOC_REPLAY_DIR"
else
    say "encoding: live"
fi
# A window when there is a display, none otherwise.
[[ -n ${DISPLAY:-} ]] || export SDL_VIDEODRIVER=dummy

# The program's sound clips where the board keeps them.
mkdir -p /app/kvo/rsc
ln -sfn "$build/rsc/sound" /app/kvo/rsc/sound
mkdir -p /mnt/extsd
if ! insert_card; then
    say "no card: loop devices need root, so the recorder runs without one"
    rm -f "$out/sd.img"
fi
coproc SIM { exec "$build/host/board/boardsim" "$scenario" 2> "$out/boardsim.log"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
# What it prints before (the preferences it sets up) goes to its log.
ready=
while read -r -t 10 line <&"${SIM[0]}"; do
    [[ $line == "[boardsim] ready" ]] && { ready=1; break; }
    echo "$line" >> "$out/boardsim.log"
done
[[ -n $ready ]] || { echo "board simulator not ready: $(cat "$out/boardsim.log")" >&2; exit 1; }

console=$out/console
rm -f "$console"
mkfifo "$console"
exec 3<> "$console"
cd "$build"
"$build/dashrec/dashrec" < "$console" > >(tee "$out/dashrec.log") 2>&1 &
pid=$!
echo "$pid" > "$DASHREC_HOST_DIR/dashrec.pid"
say "dashrec $pid runs $(basename "$scenario")"

# Set once the simulator has played the last event: its awaits follow the program, not the clock.
ends_at=
next_shot=$((SECONDS + SHOT_SECONDS))
asked=
while alive "$pid"; do
    if [[ -z $ends_at ]] && grep -q "^\[boardsim\] scenario played$" "$out/boardsim.log"; then
        ends_at=$((SECONDS + GRACE_SECONDS))
    fi
    # No shot once the run is being ended: the screen may be gone by then.
    if ((SECONDS >= next_shot)) && { [[ -z $ends_at ]] || ((SECONDS < ends_at)); }; then
        printf k >&3
        next_shot=$((SECONDS + SHOT_SECONDS))
    fi
    collect_screenshots
    # The bus drops what is posted before the program listens: ask until it ends.
    if [[ -n $ends_at ]] && ((SECONDS >= ends_at)); then
        [[ -n $asked ]] || say "asking dashrec to end: the scenario is over"
        asked=1
        "$here/post-message.sh" 348 2026 2>/dev/null || true
    fi
    sleep 0.5
done
status=0
wait "$pid" || status=$?
say "dashrec ended with status $status"
sleep 1.2
collect_screenshots
exec 3>&-

kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
cp "$DASHREC_HOST_DIR/mcu.log" "$out/" 2>/dev/null || true
# What the program left mounted is written back as the card leaves the slot.
"$card" detach sd
[[ ! -f $out/sd.img ]] || copy_out
exit "$status"
