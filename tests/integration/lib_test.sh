#!/usr/bin/env bash
# lib_test.sh: the recording check of lib.sh on files made by ffmpeg: it takes
# one with the streams of a recording and refuses each that lacks one.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
work=$(mktemp -d "${DASHREC_BINARY_DIR:-/tmp}/libtest.XXXXXX")
trap 'rm -rf "$work"' EXIT

printf '1\n00:00:00,000 --> 00:00:01,000\nEXTD 12:00:00 N37.5665 E126.9780 60\n\n2\n00:00:01,000 --> 00:00:02,000\nEXTD 12:00:01 N37.5666 E126.9780 60\n' > "$work/gps.srt"
make() { # name subtitle-file video-codec
    local subtitle=(-i "$2" -map 2:0 -c:s mov_text)
    [[ -n $2 ]] || subtitle=()
    ffmpeg -v error -y -f lavfi -i testsrc2=size=320x180:rate=30 -f lavfi -i sine=frequency=440:sample_rate=8000 \
        "${subtitle[@]:0:2}" -map 0:v -map 1:a "${subtitle[@]:2}" -t 2 -c:v "$3" -c:a pcm_s16le -ac 1 \
        -f mov "$work/$1.MP4" 2> "$work/$1.log" || fail "ffmpeg $1: $(cat "$work/$1.log")"
}
make good "$work/gps.srt" libx265
make no_subtitle "" libx265
make h264 "$work/gps.srt" libx264

probe_recording "$work/good.MP4" hevc 320x180 1.9
refused() { # what ... : the check must fail
    local what=$1
    shift
    if (probe_recording "$@") 2>/dev/null; then
        fail "probe_recording took $what"
    fi
}
refused "another size" "$work/good.MP4" hevc 1920x1080 1
refused "a short file" "$work/good.MP4" hevc 320x180 5
refused "another codec" "$work/h264.MP4" hevc 320x180 1
refused "a file without subtitles" "$work/no_subtitle.MP4" hevc 320x180 1
echo "probe_recording checks out"
