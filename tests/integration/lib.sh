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
    [[ $(ffmpeg -v error -i "$file" -map 0:s:0 -f srt - 2>/dev/null) == *EXTD* ]] ||
        fail "$file: the subtitle text carries no EXTD"
}

# run_scenario BUILD SCENARIO OUT: one run as the README's command makes it,
# in this sandbox, encoders replaying; its status in RUN_STATUS.
run_scenario() {
    RUN_STATUS=0
    DASHREC_SOC_VENC=replay DASHREC_SOC_REPLAY_DIR=${DASHREC_SOC_REPLAY_DIR:-$1/soc-replay} DASHREC_SHOT_SECONDS=3 \
        "$SOURCE_DIR/host/scripts/run-inside.sh" "$1" "$2" "$3" > "$3.log" 2>&1 || RUN_STATUS=$?
}

# log_time LINE: the time stamp of a line of the program's log, in seconds since the epoch.
log_time() {
    local stamp
    stamp=$(sed -n 's/^{\([0-9/]*\)-\([0-9:]*\):\([0-9]*\)}.*/\1 \2.\3/p' <<<"$1" | tr / -)
    [[ -n $stamp ]] || fail "no time stamp in: $1"
    date -d "$stamp" +%s.%N
}

# recording_start LOG FILE: when the program named FILE as a recording, by its log.
recording_start() {
    local line
    line=$(tr -d '\r' < "$1" | grep -m1 "\[CallbackRecordFile\].*/$(basename "$2")\$") || fail "$2 is not in the log"
    log_time "$line"
}

# played_seconds FILE: how far its video plays (the last frame's time and its length).
played_seconds() {
    ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" |
        awk -F, '$1 + $2 > end { end = $1 + $2 } END { printf "%.3f\n", end }'
}

# moment OUT WHAT: when boardsim did WHAT ("killed", "card left the slot"), in seconds since the epoch.
moment() {
    local at
    at=$(sed -n "s/^\[boardsim\] $2.* at \([0-9.]*\)\$/\1/p" "$1/boardsim.log" | head -1)
    [[ -n $at ]] || fail "boardsim never logged \"$2\": $(cat "$1/boardsim.log")"
    echo "$at"
}

# plays_until OUT FILE END: FILE's video plays up to at most LOSS_SECONDS
# before END (seconds since the epoch), counted from when it was named. The
# engine muxes whole GOPs (1 s) once each track has them, the subtitle track
# reaching only whole seconds over, and rewrites the header once the muxer has
# taken a GOP: a cut loses some 2.0-2.1 s of it, hence 3.
plays_until() {
    local start played
    start=$(recording_start "$1/dashrec.log" "$2")
    played=$(played_seconds "$2")
    awk -v s="$start" -v e="$3" -v p="$played" -v l="${LOSS_SECONDS:-3}" 'BEGIN { exit !(p >= e - s - l) }' ||
        fail "$2 plays $played s of the $(awk -v s="$start" -v e="$3" 'BEGIN { printf "%.1f", e - s }') s it recorded"
    echo "$(basename "$2"): plays $played s of $(awk -v s="$start" -v e="$3" 'BEGIN { printf "%.1f", e - s }') s"
}

# pairs OUT FOLDER PREFIX: the stamps ("261210-172610") of FOLDER's recordings, one
# a line, each with a front and a rear file named PREFIX<stamp>F/R.MP4.
pairs() {
    local files stamp
    files=$(card_folder "$1/sd.img" "$2")
    for stamp in $(sed -n "s|^$2/$3\([0-9]\{6\}-[0-9]\{6\}\)[FR]\.MP4\$|\1|p" <<<"$files" | sort -u); do
        grep -qx "$2/$3${stamp}F.MP4" <<<"$files" && grep -qx "$2/$3${stamp}R.MP4" <<<"$files" ||
            fail "$2/$3$stamp has no front and rear pair: $files"
        echo "$stamp"
    done
    [[ -z $files ]] || ! grep -vE "^$2/$3[0-9]{6}-[0-9]{6}[FR]\.MP4\$" <<<"$files" ||
        fail "$2 holds files not named $3<date>-<time>F/R.MP4"
}

# probe_pair OUT FOLDER NAME_WITHOUT_F_R MIN_SECONDS: both cameras' recordings
# of one stamp, the stamp the time the program named them.
probe_pair() {
    local front=$1/recordings/$2/${3}F.MP4 stamp named
    probe_recording "$front" hevc 2560x1440 "$4"
    probe_recording "$1/recordings/$2/${3}R.MP4" hevc 1920x1080 "$4"
    stamp=$(sed 's/^[A-Z]*\(..\)\(..\)\(..\)-\(..\)\(..\)\(..\)$/20\1-\2-\3 \4:\5:\6/' <<<"$3")
    named=$(recording_start "$1/dashrec.log" "$front")
    # The first fix may set the clock (the receiver's UTC to the device's
    # local time) between the naming and its log line: whole hours apart.
    awk -v a="$(date -d "$stamp" +%s)" -v b="$named" 'BEGIN {
            for (h = -14; h <= 14; h++) { d = b - a - h * 3600; if (d >= 0 && d < 2) exit 0 }
            exit 1 }' ||
        fail "$3 is not named by the time it started ($(date -d "@$named"))"
}

# shock_seconds FILE: how far into FILE the first sample with an acceleration lies, by its subtitles.
shock_seconds() {
    ffmpeg -v error -i "$1" -map 0:s:0 -f srt - 2>/dev/null | python3 -c '
import re, sys
text = sys.stdin.read()
for start, samples in re.findall(r"(\d+:\d+:\d+,\d+) --> [^\n]*\n(.*?)(?:\n\n|\Z)", text, re.S):
    h, m, s = start.replace(",", ".").split(":")
    found = re.findall(r"EXTD/[^,<]*", samples)
    for i, sample in enumerate(found):
        if not sample.endswith("/00/00/00"):
            print("%.2f" % (int(h) * 3600 + int(m) * 60 + float(s) + i / len(found)))
            sys.exit(0)
sys.exit(1)'
}
