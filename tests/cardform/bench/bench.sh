#!/usr/bin/env bash
# bench.sh BUILD_DIR [WORK_DIR]: lays out sparse images of 32 GiB, 128 GiB and
# 1 TiB with cardform and verifies them with cardaudit, next to mkfs.fat
# -F 32 -s 128 and fsck.fat -n on the same sizes. Prints wall and CPU seconds
# and the bytes each one wrote (or read, for the checkers). Not a test.
# Goals: cardform within 1.5 times mkfs.fat, cardaudit faster than fsck.fat.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d "${2:-$build}/cardbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cardform=$build/cardform/cardform
cardaudit=$build/cardform/cardaudit

# measure LABEL COMMAND...: one line of wall, user+sys seconds and bytes moved.
measure() {
    local label=$1
    shift
    local out
    out=$(bash -c '
        start=$(date +%s.%N)
        "$@" > /dev/null 2>&1 || true
        end=$(date +%s.%N)
        read -r _ _ _ _ _ _ _ _ _ _ _ _ _ utime stime cutime cstime _ < /proc/$$/stat
        io=$(awk "/^(rchar|wchar)/ {printf \"%s%s \", \$1, \$2}" /proc/$$/io)
        echo "$start $end $cutime $cstime $io"' bash "$@")
    read -r start end cutime cstime rchar wchar <<< "$out"
    local ticks
    ticks=$(getconf CLK_TCK)
    printf "%-34s wall %7.3f s  cpu %7.3f s  %s %s\n" "$label" "$(echo "$end - $start" | bc)" \
        "$(echo "($cutime + $cstime) / $ticks" | bc -l)" "$rchar" "$wchar"
}

for size in 32G 128G 1T; do
    image=$work/card.img
    rm -f "$image"
    truncate -s "$size" "$image"
    sync
    measure "cardform $size" "$cardform" "$image" wqhd fhd 27 16
    echo "    allocated after cardform: $(du -B1 "$image" | cut -f1) bytes"
    measure "cardaudit $size" "$cardaudit" "$image" wqhd fhd 27 16
    # fsck.fat has no partition offset: the volume's metadata is copied out to a sparse file.
    volume=$work/volume.img
    rm -f "$volume"
    truncate -s $(($(stat -c %s "$image") - 1048576)) "$volume"
    dd if="$image" of="$volume" bs=1M skip=1 count=512 conv=notrunc,sparse status=none
    measure "fsck.fat -n $size" fsck.fat -n "$volume"
    rm -f "$image" "$volume"
    truncate -s "$size" "$image"
    sync
    measure "mkfs.fat -F 32 -s 128 $size" mkfs.fat -F 32 -s 128 "$image"
    echo "    allocated after mkfs.fat: $(du -B1 "$image" | cut -f1) bytes"
    rm -f "$image"
done
