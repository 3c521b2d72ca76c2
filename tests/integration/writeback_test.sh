#!/usr/bin/env bash
# writeback_test.sh BUILD: a recording written through the mounted card as the
# recorder writes it (into a pre-allocated hidden file, renamed, its hidden
# bit cleared) is, after unmounting, in the card image byte for byte: mtools
# copies out what was written, and fsck.fat and cardaudit pass the card.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
image=/tmp/sd.img
insert_card "$build" "$image"
recording=$(take_free_file NORMAL NORM NORM261210-120000F.MP4)
size=$(stat -c %s "$recording")
# Known bytes at the start, across a cluster boundary in the middle, and at the very end.
head -c 3000000 /dev/urandom > /tmp/start.bin
head -c 100000 /dev/urandom > /tmp/middle.bin
head -c 4096 /dev/urandom > /tmp/end.bin
middle_at=$((size / 2 - 50000))
dd if=/tmp/start.bin of="$recording" conv=notrunc status=none
dd if=/tmp/middle.bin of="$recording" bs=1 seek="$middle_at" conv=notrunc status=none
dd if=/tmp/end.bin of="$recording" bs=1 seek=$((size - 4096)) conv=notrunc status=none
sync

# What the image must hold: the file's size, the written bytes, zeros elsewhere.
truncate -s "$size" /tmp/expected.bin
dd if=/tmp/start.bin of=/tmp/expected.bin conv=notrunc status=none
dd if=/tmp/middle.bin of=/tmp/expected.bin bs=1 seek="$middle_at" conv=notrunc status=none
dd if=/tmp/end.bin of=/tmp/expected.bin bs=1 seek=$((size - 4096)) conv=notrunc status=none

umount /mnt/extsd
"$CARD_SCRIPT" detach sd

[[ $(card_folder "$image" NORMAL) == "NORMAL/NORM261210-120000F.MP4" ]] ||
    fail "NORMAL shows: $(card_folder "$image" NORMAL)"
mcopy -n -i "$image@@1M" ::/NORMAL/NORM261210-120000F.MP4 /tmp/copied.bin
cmp /tmp/expected.bin /tmp/copied.bin || fail "the recording copied off the card differs from what was written"
check_card "$build" "$image"
echo "written back: $size bytes at the file's own clusters"
