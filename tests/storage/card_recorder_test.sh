#!/usr/bin/env bash
# card_recorder_test.sh CARDFORM CARDAUDIT: a card laid out by cardform, used
# through the mount shim as the recorder uses it (a pre-allocated file taken
# over by renaming, made visible and written into), then unmounted: fsck.fat
# and cardaudit accept the card, mtools shows the recording.
set -euo pipefail
cardform=$1
cardaudit=$2
card=$DASHREC_SOURCE_DIR/host/card/card.sh
export MTOOLS_SKIP_CHECK=1

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

"$card" make /tmp/sd.img 8192
"$card" attach sd /tmp/sd.img
"$cardform" /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt || fail "cardform"
mkdir -p /mnt/extsd
mount /dev/mmcblk1p1 /mnt/extsd/
free=$(ls -A /mnt/extsd/NORMAL | grep 'F\.TMP$' | head -1)
[[ -n $free ]] || fail "no pre-allocated front file laid out"
recording=/mnt/extsd/NORMAL/NORM_20241217_102233_F.MP4
mv "/mnt/extsd/NORMAL/$free" "$recording"
python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.fat.attributes", b"32")' "$recording"
head -c 5000000 /dev/urandom > /tmp/frames
dd if=/tmp/frames of="$recording" conv=notrunc status=none
umount /mnt/extsd

# cardform's own volume carries no label entry: that remark is all fsck.fat may say.
fsck.fat -n /dev/mmcblk1p1 > /tmp/fsck.txt 2>&1 || true
remarks=$(grep -vE "^fsck\.fat |^Label in boot sector is 'DVR', but there is no volume label in root directory\.$|^  Auto-removing label from boot sector\.$|^$|^Leaving filesystem unchanged\.$|: [0-9]+ files, [0-9]+/[0-9]+ clusters$" /tmp/fsck.txt || true)
[[ -z $remarks ]] || fail "fsck.fat: $remarks"
grep -qE ": [0-9]+ files" /tmp/fsck.txt || fail "fsck.fat did not run: $(cat /tmp/fsck.txt)"
"$cardaudit" /dev/mmcblk1 wqhd fhd 30 30 sd mstar > /tmp/audit.txt || fail "cardaudit: $(grep -i error /tmp/audit.txt)"
mcopy -n -i /dev/mmcblk1p1 ::/NORMAL/NORM_20241217_102233_F.MP4 /tmp/copied 2>/dev/null
cmp -s /tmp/frames <(head -c 5000000 /tmp/copied) || fail "the recording's data is not on the card"
echo "card used as the recorder does: fsck.fat and cardaudit accept it"
