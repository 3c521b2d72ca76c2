#!/usr/bin/env bash
# peers.sh CARDFORM CARDAUDIT: cards written by cardform, checked by real
# peers. fsck.fat finds nothing but the missing volume-label entry; mtools
# lists every folder and hidden file at its size, each one contiguous chain;
# cardaudit accepts the card as written and as the recorder uses it, and
# refuses other arguments, a recording left hidden and a broken chain.
set -euo pipefail
# A program of another architecture runs through the emulator the build names.
cardform=(${DASHREC_EMULATOR:-} "$1")
cardaudit=(${DASHREC_EMULATOR:-} "$2")
work=$(mktemp -d "${DASHREC_BINARY_DIR:-/tmp}/cardpeers.XXXXXX")
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# 8 GiB: the smallest size at which mtools takes the volume for FAT32.
SECTORS=16777216

# fsck.fat -n on the volume; only the label remark is allowed.
check_fsck() {
    local image=$1 offset_mib=$2 volume=$work/volume.img
    if [[ $offset_mib == 0 ]]; then
        volume=$image
    else
        # The metadata lies in the first MiBs; the rest of both files are holes.
        rm -f "$volume"
        truncate -s $((SECTORS * 512 - offset_mib * 1048576)) "$volume"
        dd if="$image" of="$volume" bs=1M skip="$offset_mib" count=64 conv=notrunc,sparse status=none
    fi
    fsck.fat -n "$volume" > "$work/fsck.txt" 2>&1 || true
    local unexpected
    unexpected=$(grep -vE "^fsck\.fat |^Label in boot sector is 'DVR', but there is no volume label in root directory\.$|^  Auto-removing label from boot sector\.$|^$|^Leaving filesystem unchanged\.$|: [0-9]+ files, [0-9]+/[0-9]+ clusters$" "$work/fsck.txt" || true)
    [[ -z $unexpected ]] || fail "fsck.fat: $unexpected"
    grep -q "^Label in boot sector is 'DVR'" "$work/fsck.txt" || fail "fsck.fat did not run: $(cat "$work/fsck.txt")"
}

# Every hidden file of FOLDER: listed with the given sizes, one chain each.
check_folder() {
    local drive=$1 folder=$2 files=$3 front=$4 rear=$5
    mdir -a -i "$drive" "::/$folder" > "$work/mdir.txt" || fail "mdir $folder"
    mshowfat -i "$drive" "::/$folder/*" > "$work/fat.txt" || fail "mshowfat $folder"
    local listed
    listed=$(awk -v front="$front" -v rear="$rear" '
        $NF ~ /^\.[A-Z]+90925-[0-9]+[FR]\.TMP$/ {
            size = $3; name = $NF
            want = (name ~ /F\.TMP$/) ? front : rear
            if (size != want) { print "size " name " " size; exit 1 }
            count++
        }
        END { print count + 0 }' "$work/mdir.txt") || fail "$folder: $listed"
    [[ $listed == "$files" ]] || fail "$folder lists $listed files, expected $files"
    awk -v folder="$folder" -v front="$front" -v rear="$rear" '
        $1 ~ /\.TMP$/ {
            if (NF != 2 || $2 !~ /^<[0-9]+-[0-9]+>$/) { print "not one chain: " $0; exit 1 }
            split(substr($2, 2, length($2) - 2), range, "-")
            clusters = range[2] - range[1] + 1
            want = ($1 ~ /F\.TMP$/) ? front : rear
            if (clusters * 65536 != want) { print "chain length: " $0; exit 1 }
        }' "$work/fat.txt" || fail "$folder chains"
}

# From cardform's printout: "NormalFiles = 82, EventFiles = 20, ..." by name.
reported() {
    grep -ow "$2 = [0-9]*" "$1" | tail -1 | awk '{print $3}'
}

# write_and_check NAME OFFSET_MIB PARKING_FOLDERS FRONT REAR FPS PFPS [OPTIONS...]: lays a
# card out and checks it; PARKING_FOLDERS is "two" (PARKING/NORMAL and
# PARKING/EVENT) or "one" (the alternative layout's PARKING).
write_and_check() {
    local name=$1 offset_mib=$2 parking_folders=$3 front=$4 rear=$5 fps=$6 pfps=$7
    shift 7
    local image=$work/$name.img log=$work/$name.log
    rm -f "$image"
    truncate -s $((SECTORS * 512)) "$image"
    "${cardform[@]}" "$image" "$front" "$rear" "$fps" "$pfps" "$@" > "$log" || fail "$name: cardform $(tail -5 "$log")"
    grep -q "Cardform::ForceFlush() OK" "$log" && grep -q "^Write OK$" "$log" || fail "$name: success lines"
    check_fsck "$image" "$offset_mib"

    local drive=$image
    [[ $offset_mib == 0 ]] || drive="$image@@${offset_mib}M"
    local sizes front_size rear_size park_front park_rear ev_front ev_rear
    sizes=$(grep -o "NF_Clusters:[0-9]*, NR_Clusters:[0-9]*, EF_Clusters:[0-9]*, ER_Clusters:[0-9]*, PF_Clusters:[0-9]*, PR_Clusters=[0-9]*" "$log" | tr -c '0-9\n' ' ')
    read -r front_size rear_size ev_front ev_rear park_front park_rear <<< "$sizes"
    local c=65536
    mdir -a -i "$drive" ::/ > "$work/root.txt" || fail "$name: mdir root"
    for folder in SYSTEM NORMAL EVENT MANUAL; do
        grep -q "^$folder .*<DIR>" "$work/root.txt" || fail "$name: no $folder"
    done
    mdir -a -i "$drive" ::/SYSTEM | grep -q "^HISTORY  DM1   4194304 " || fail "$name: no HISTORY.DM1"
    check_folder "$drive" NORMAL "$(reported "$log" NormalFiles)" $((front_size * c)) $((rear_size * c))
    check_folder "$drive" EVENT "$(reported "$log" EventFiles)" $((ev_front * c)) $((ev_rear * c))
    check_folder "$drive" MANUAL "$(reported "$log" ManualFiles)" $((ev_front * c)) $((ev_rear * c))
    local parking_files
    parking_files=$(reported "$log" ParkingNormalFiles)
    if [[ $pfps == 0 ]]; then
        ! grep -q "^PARKING " "$work/root.txt" || fail "$name: PARKING without parking"
    elif [[ $parking_folders == one ]]; then
        check_folder "$drive" PARKING "$parking_files" $((park_front * c)) $((park_rear * c))
    else
        check_folder "$drive" PARKING/NORMAL "$parking_files" $((park_front * c)) $((park_rear * c))
        check_folder "$drive" PARKING/EVENT "$(reported "$log" ParkingEventFiles)" $((park_front * c)) $((park_rear * c))
    fi
    "${cardaudit[@]}" "$image" "$front" "$rear" "$fps" "$pfps" "${audit_options[@]}" > "$work/audit.txt" ||
        fail "$name: cardaudit $(tail -5 "$work/audit.txt")"
    grep -q "^                     Verify OK$" "$work/audit.txt" || fail "$name: no Verify OK"
}

audit_options=()
write_and_check sd 1 two wqhd fhd 27 16
audit_options=(x mstar)
write_and_check sd-mstar 1 one wqhd fhd 30 30 aging x mstar
audit_options=()
write_and_check sd-no-rear 1 two fhd 0 30 16
write_and_check sd-no-parking 1 two hd hd 30 0
audit_options=(emmc)
write_and_check emmc 0 one wqhd fhd 27 16 emmc
write_and_check emmc-no-rear 0 one hd 0 22 6 emmc
audit_options=(emmc x)
write_and_check emmc-no-mstar 0 two shd hd 25 7 emmc x y

# The first SD card as the recorder leaves it, and broken.
sd=$work/sd.img
audit() {
    "${cardaudit[@]}" "$sd" "$@" > "$work/audit.txt"
}
expect_fail() {
    local status=0
    audit "$@" || status=$?
    [[ $status == 1 ]] || fail "cardaudit $* gave $status"
    grep -q "^                    Verify FAIL$" "$work/audit.txt" || fail "cardaudit $*: no FAIL banner"
    [[ $(tail -1 "$work/audit.txt") == "usage: cardaudit /dev/mmcblk0 wqhd fhd 27 16 [emmc] [mstar]" ]] ||
        fail "cardaudit $*: no usage line"
}
expect_fail wqhd fhd 30 16
expect_fail shd fhd 27 16
expect_fail wqhd fhd 27 16 x mstar

claim() {
    mren -i "$sd@@1M" "::/NORMAL/.NORM90925-000000$1.TMP" "::/NORMAL/NORM260101-120000$1.MP4" ||
        fail "mren $1"
}
claim F
expect_fail wqhd fhd 27 16
grep -q "VerifyRecordDirectory error. .NORM_0_filename=NORM260101-120000F.MP4" "$work/audit.txt" ||
    fail "hidden recording: $(grep error "$work/audit.txt")"
mattrib -i "$sd@@1M" -h ::/NORMAL/NORM260101-120000F.MP4
claim R
mattrib -i "$sd@@1M" -h ::/NORMAL/NORM260101-120000R.MP4
audit wqhd fhd 27 16 || fail "claimed recordings: $(grep error "$work/audit.txt")"
mdir -i "$sd@@1M" ::/NORMAL | grep -q "NORM260101-120000R.MP4" || fail "claimed recording not visible"

# A FAT entry changed inside the first EVENT file's chain, then one behind the last file.
first=$(mshowfat -i "$sd@@1M" ::/EVENT/.EVEN90925-000000F.TMP | sed 's/.*<\([0-9]*\)-.*/\1/')
fat_entry() {
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)) $(($2 >> 16 & 255)) $(($2 >> 24)))" |
        dd of="$sd" bs=1 seek=$(((2048 + 128) * 512 + 4 * $1)) conv=notrunc status=none
}
fat_entry $((first + 3)) 0
expect_fail wqhd fhd 27 16
grep -q "VerifyFAT0...i=$((first + 3)), wf=0x$(printf %08x $((first + 4))), rf=0x00000000" "$work/audit.txt" ||
    fail "FAT: $(grep VerifyFAT "$work/audit.txt")"
fat_entry $((first + 3)) $((first + 4))
free=$(od -An -tu4 -j $(((2048 + 1) * 512 + 488)) -N4 "$sd" | tr -d ' ')
data_clusters=$(reported "$work/sd.log" DataClusters)
fat_entry $((data_clusters + 2 - free)) 268435448
audit wqhd fhd 27 16 || fail "entry behind the last file"

# A card that cannot be written: the write fails, cardform says so and exits 1.
status=0
(trap '' XFSZ; ulimit -f 2048; exec "${cardform[@]}" "$sd" wqhd fhd 27 16) > "$work/full.txt" || status=$?
[[ $status == 1 ]] || fail "unwritable card gave status $status"
grep -q "^Write FAIL$" "$work/full.txt" && ! grep -q "^Write OK$" "$work/full.txt" || fail "unwritable card lines"
status=0
"${cardform[@]}" "$work/missing.img" wqhd fhd 27 16 > "$work/missing.txt" || status=$?
[[ $status == 1 && $(tail -1 "$work/missing.txt") == "usage: cardform /dev/mmcblk0 wqhd fhd 27 16 [aging] [emmc] [mstar]" ]] ||
    fail "missing device gave $status"
echo "cardform peers OK"
