#!/usr/bin/env bash
# write_test.sh CARDFORM: the write-endurance test on a device too small for
# its end run fails its first pass at the third seek, lights the error LED and
# exits 0; a mounted device is refused.
set -euo pipefail
# A program of another architecture runs through the emulator the build names.
cardform=(${DASHREC_EMULATOR:-} "$1")
work=$(mktemp -d /tmp/wtest.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

truncate -s $((65535 * 512)) "$work/small.img"
"${cardform[@]}" "$work/small.img" wtest > "$work/out.txt" || fail "status $?"
grep -q "^write test start. $work/small.img$" "$work/out.txt" || fail "no start line"
grep -q "^nblocks = 65535, count = 1 : $" "$work/out.txt" || fail "no size line"
[[ $(grep -c "count=1, " "$work/out.txt") == 2 ]] || fail "not two runs before the end: $(cat "$work/out.txt")"
grep -q "^GetFATBS()...Error: lseek()$" "$work/out.txt" || fail "third seek did not fail"
! grep -q "complete." "$work/out.txt" || fail "pass completed"

# A mounted device is refused before anything is written (a tmpfs takes any
# text as its source, so the image's path stands in for the card's node).
mkdir "$work/mnt"
mount -t tmpfs "$work/small.img" "$work/mnt"
status=0
"${cardform[@]}" "$work/small.img" wtest > "$work/refused.txt" || status=$?
umount "$work/mnt"
[[ $status == 1 ]] || fail "mounted device gave $status"
grep -q "is mounted" "$work/refused.txt" || fail "no refusal line"
! grep -q "write test start" "$work/refused.txt" || fail "mounted device written"
echo "write test OK"
