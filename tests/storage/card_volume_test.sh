#!/usr/bin/env bash
# The card stand-in: a partitioned image on loop devices, mounted through the
# mount shim, written to in the mount point, unmounted; the image is then
# checked with mtools and fsck.fat, byte for byte and cluster for cluster.
set -euo pipefail
card=$DASHREC_SOURCE_DIR/host/card/card.sh
export MTOOLS_SKIP_CHECK=1
work=$(mktemp -d /tmp/cardtest.XXXXXX)
image=$work/sd.img
volume="$image@@1048576"
recording="N_Pre-allocated file 001_F.mp4"

check() {
    if ! eval "$1"; then
        echo "FAILED: $2" >&2
        exit 1
    fi
}

# 600 MiB, one FAT32 (LBA) partition from sector 2048.
"$card" make "$image" 600
python3 - "$image" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(446)
    f.write(struct.pack("<B3sB3sII", 0, b"\0\0\0", 0x0C, b"\0\0\0", 2048, 600 * 2048 - 2048))
    f.seek(510)
    f.write(b"\x55\xaa")
PY
"$card" attach sd "$image"
check '[[ -b /dev/mmcblk1 && -b /dev/mmcblk1p1 ]]' "the card's nodes are block devices"
check '[[ $(blockdev --getsz /dev/mmcblk1p1) == $((600 * 2048 - 2048)) ]]' "the partition node follows the MBR"
mkfs.vfat -F 32 /dev/mmcblk1p1 > /dev/null
mmd -i "$volume" ::/SYSTEM ::/NORMAL
head -c 4194304 /dev/urandom > "$work/history"
mcopy -i "$volume" "$work/history" ::/SYSTEM/HISTORY.DM1
truncate -s 31354880 "$work/recording"
mcopy -i "$volume" "$work/recording" "::/NORMAL/$recording"
mattrib -i "$volume" +h "::/NORMAL/$recording"
mshowfat -i "$volume" ::/SYSTEM/HISTORY.DM1 "::/NORMAL/$recording" | sed 's/^[^<]*//' > "$work/clusters.before"

mkdir -p /mnt/extsd
mount /dev/mmcblk1p1 /mnt/extsd/
check 'cmp -s "$work/history" /mnt/extsd/SYSTEM/HISTORY.DM1' "a file's content is laid out"
check '[[ $(stat -c %s "/mnt/extsd/NORMAL/$recording") == 31354880 ]]' "a pre-allocated file keeps its size"
check '[[ $(du -k "/mnt/extsd/NORMAL/$recording" | cut -f1) -lt 1024 ]]' "the card's zeros stay holes"
attributes() { python3 -c 'import os, sys; print(int(os.getxattr(sys.argv[1], "user.fat.attributes")) & 0x02)' "$1"; }
check '[[ $(attributes "/mnt/extsd/NORMAL/$recording") == 2 ]]' "the hidden attribute is laid out"
check '! mount /dev/mmcblk1p1 /mnt/extsd/ 2>/dev/null' "a second mount on the same point is refused"

# What the recorder does: log blocks in place, a file taken over by renaming,
# unhidden and written into; a backup copy creates a file.
printf 'log block' | dd of=/mnt/extsd/SYSTEM/HISTORY.DM1 bs=1 seek=65536 conv=notrunc status=none
taken="/mnt/extsd/NORMAL/N_20241217_102233_F.mp4"
mv "/mnt/extsd/NORMAL/$recording" "$taken"
python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.fat.attributes", b"32")' "$taken"
head -c 3000000 /dev/urandom | dd of="$taken" bs=65536 seek=3 conv=notrunc status=none
mkdir /mnt/extsd/EVENT
echo copied > /mnt/extsd/EVENT/TMP.DM1
cp /mnt/extsd/SYSTEM/HISTORY.DM1 "$work/history.expected"
cp "$taken" "$work/taken.expected"
umount /dev/mmcblk1p1
check '[[ -z $(ls -A /mnt/extsd) ]]' "the mount point is empty after umount"

mcopy -n -i "$volume" ::/SYSTEM/HISTORY.DM1 "$work/history.out"
mcopy -n -i "$volume" ::/NORMAL/N_20241217_102233_F.mp4 "$work/taken.out"
check 'cmp "$work/history.expected" "$work/history.out"' "the log file is the same byte for byte"
check 'cmp "$work/taken.expected" "$work/taken.out"' "the recording is the same byte for byte"
check '[[ $(mtype -i "$volume" ::/EVENT/TMP.DM1) == copied ]]' "a new file is copied in"
mshowfat -i "$volume" ::/SYSTEM/HISTORY.DM1 ::/NORMAL/N_20241217_102233_F.mp4 | sed 's/^[^<]*//' > "$work/clusters.after"
check 'cmp "$work/clusters.before" "$work/clusters.after"' "files keep their own clusters"
check '! mattrib -i "$volume" ::/NORMAL/N_20241217_102233_F.mp4 | grep -q " H "' "the hidden attribute is cleared"
check 'fsck.fat -n /dev/mmcblk1p1 > /dev/null' "the card passes fsck.fat"

# The end of the sandbox writes back what is still mounted.
mount /dev/mmcblk1p1 /mnt/extsd
printf 'at exit' | dd of=/mnt/extsd/SYSTEM/HISTORY.DM1 bs=1 seek=131072 conv=notrunc status=none
"$DASHREC_HOST_DIR/exit.d/50-card"
check '[[ $(mcopy -n -i "$volume" ::/SYSTEM/HISTORY.DM1 - | dd bs=1 skip=131072 count=7 status=none) == "at exit" ]]' \
    "the exit hook writes the volume back"
check '[[ ! -e /dev/mmcblk1 ]]' "the exit hook detaches the card"
echo "card volume: all checks passed"
