# Helpers of the integration tests, sourced by each: what a driver checks on
# the card after a run (its folders, its recordings, the card as a whole).
# Each helper fails the test with a message of what it found.
export MTOOLS_SKIP_CHECK=1
INTEGRATION_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SOURCE_DIR=$(cd "$INTEGRATION_DIR/../.." && pwd)
CARD_SCRIPT=$SOURCE_DIR/host/card/card.sh
# The run's card layout, as cardaudit takes it.
CARD_LAYOUT=(wqhd fhd 30 30 sd mstar)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# insert_card BUILD IMAGE: a fresh card of the run's layout in the slot,
# mounted at /mnt/extsd as the launcher mounts it.
insert_card() {
    "$CARD_SCRIPT" make "$2" 8192
    "$CARD_SCRIPT" attach sd "$2"
    "$1/cardform/cardform" /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt || fail "cardform"
    mkdir -p /mnt/extsd
    mount /dev/mmcblk1p1 /mnt/extsd/
}

# take_free_file FOLDER PREFIX NAME: the oldest free front file of the mounted
# card's FOLDER becomes NAME, no longer hidden, as the file loop takes one
# over; prints its path.
take_free_file() {
    local free path=/mnt/extsd/$1/$3
    free=$(find "/mnt/extsd/$1" -maxdepth 1 -name ".${2}90925-*F.TMP" | sort | head -1)
    [[ -n $free ]] || fail "no free front file in $1"
    mv "$free" "$path"
    python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.fat.attributes", b"32")' "$path" # archive only
    echo "$path"
}

# card_files IMAGE [PATTERN]: the card's visible files, "FOLDER/NAME" a line.
card_files() {
    "$SOURCE_DIR/host/card/card-files.sh" "$@"
}

# card_folder IMAGE FOLDER: the recordings of one folder ("NORMAL", "PARKING/EVENT").
card_folder() {
    card_files "$1" '*.MP4' | grep "^$2/[^/]*$" || true
}

# check_card BUILD IMAGE: the card after a run is a sound FAT volume (fsck.fat
# -n, nothing but the missing volume label to remark) and the recorder's layout
# ("Verify OK").
check_card() {
    local build=$1 image=$2 report
    "$CARD_SCRIPT" attach sd "$image"
    report=$(fsck.fat -n /dev/mmcblk1p1 2>&1 || true)
    local audit audited=0
    audit=$("$build/cardform/cardaudit" /dev/mmcblk1 "${CARD_LAYOUT[@]}" 2>&1) || audited=$?
    "$CARD_SCRIPT" detach sd
    local unexpected
    unexpected=$(grep -vE "^fsck\.fat |^Label in boot sector is 'DVR', but there is no volume label in root directory\.$|^  Auto-removing label from boot sector\.$|^$|^Leaving filesystem unchanged\.$|: [0-9]+ files, [0-9]+/[0-9]+ clusters$" <<<"$report" || true)
    [[ -z $unexpected && $report == *" files, "* ]] || fail "fsck.fat: $report"
    [[ $audited == 0 ]] && grep -qE "^ *Verify OK *$" <<<"$audit" || fail "cardaudit: $(tail -5 <<<"$audit")"
}

# probe_recording FILE CODEC WIDTHxHEIGHT MIN_SECONDS: an MP4 with that video,
# an audio stream, a subtitle track whose text carries "EXTD" and at least
# that duration.
probe_recording() {
    local file=$1 codec=$2 size=$3 seconds=$4 streams
    streams=$(ffprobe -v error -show_entries stream=codec_type,codec_name,width,height:format=duration \
        -of default=noprint_wrappers=1 "$file") || fail "ffprobe $file"
    grep -qx "codec_name=$codec" <<<"$streams" || fail "$file: no $codec video: $streams"
    grep -qx "width=${size%x*}" <<<"$streams" && grep -qx "height=${size#*x}" <<<"$streams" ||
        fail "$file: not $size: $streams"
    grep -qx "codec_type=audio" <<<"$streams" || fail "$file: no audio: $streams"
    grep -qx "codec_type=subtitle" <<<"$streams" || fail "$file: no subtitle track: $streams"
    local duration
    duration=$(sed -n 's/^duration=//p' <<<"$streams")
    awk -v d="$duration" -v m="$seconds" 'BEGIN { exit !(d + 0 >= m) }' || fail "$file: $duration s, less than $seconds s"
    ffmpeg -v error -i "$file" -map 0:s:0 -f srt - 2>/dev/null | grep -q "EXTD" ||
        fail "$file: the subtitle text carries no EXTD"
}

# run_scenario BUILD SCENARIO OUT: one run as the README's command makes it,
# in this sandbox, encoders replaying; its status in RUN_STATUS.
run_scenario() {
    RUN_STATUS=0
    DASHREC_SOC_VENC=replay DASHREC_SOC_REPLAY_DIR=${DASHREC_SOC_REPLAY_DIR:-$1/soc-replay} DASHREC_SHOT_SECONDS=3 \
        "$SOURCE_DIR/host/scripts/run-inside.sh" "$1" "$2" "$3" > "$3.log" 2>&1 || RUN_STATUS=$?
}
