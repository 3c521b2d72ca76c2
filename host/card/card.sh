#!/usr/bin/env bash
# card.sh: the board's storage media inside a sandbox, as loop devices on
# image files, and the vfat mounts this kernel cannot do, stood in for by
# volume.py. State lives in "$DASHREC_HOST_DIR/card".
#
#   card.sh make IMAGE MIB            a sparse image of MIB MiB
#   card.sh attach sd|emmc|usb IMAGE  insert: device and partition nodes on loop devices
#   card.sh detach sd|emmc|usb        remove: writes mounted volumes back, nodes gone
#   card.sh partprobe DEVICE          re-reads the MBR: the partition node follows it
#   card.sh mount DEVICE MOUNTPOINT   (the mount shim)
#   card.sh umount DEVICE|MOUNTPOINT  (the umount shim)
#   card.sh shutdown                  writes every mounted volume back, detaches all
#
# The SD card and the USB stick carry an MBR: their partition node starts at
# the first entry (1 MiB while there is none). The eMMC image is the recording
# partition itself, so both eMMC nodes show the whole image.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
state=${DASHREC_HOST_DIR:?card.sh runs inside the sandbox}/card
mkdir -p "$state/nodes" "$state/mounts"
export MTOOLS_SKIP_CHECK=1

fail() {
    echo "$*" >&2
    exit 32
}

nodes_of() { # medium -> "disk partition"
    case $1 in
        sd) echo /dev/mmcblk1 /dev/mmcblk1p1 ;;
        emmc) echo /dev/mmcblk0 /dev/mmcblk0p1 ;;
        usb) echo /dev/sda /dev/sda1 ;;
        *) fail "card.sh: unknown medium $1" ;;
    esac
}

# A free loop device with its node in this /dev; several sandboxes may race for it.
attach_loop() { # image offset sizelimit -> loop device
    local image=$1 offset=$2 limit=$3 loop tries
    [[ -e /dev/loop-control ]] || mknod /dev/loop-control c 10 237
    for tries in $(seq 20); do
        loop=$(losetup -f)
        [[ -e $loop ]] || mknod "$loop" b 7 "${loop#/dev/loop}"
        local args=(-o "$offset")
        [[ $limit == 0 ]] || args+=(--sizelimit "$limit")
        if losetup "${args[@]}" "$loop" "$image" 2>/dev/null; then
            echo "$loop"
            return 0
        fi
        sleep 0.1
    done
    fail "card.sh: no loop device for $image"
}

# The first MBR entry as "offset size" in bytes; "1048576 0" without one.
first_partition() {
    local image=$1
    python3 - "$image" <<'EOF'
import struct, sys
with open(sys.argv[1], "rb") as f:
    mbr = f.read(512)
start, size = struct.unpack_from("<II", mbr, 454) if len(mbr) == 512 else (0, 0)
if len(mbr) < 512 or mbr[510:512] != b"\x55\xaa" or mbr[450] == 0 or start == 0:
    start, size = 2048, 0
print(start * 512, size * 512)
EOF
}

make_node() { # node loop image offset
    local node=$1 loop=$2 image=$3 offset=$4
    rm -f "$node"
    mknod "$node" b 7 "${loop#/dev/loop}"
    echo "$image $offset $loop" > "$state/nodes/$(basename "$node")"
}

# The eMMC's two nodes share one loop device: it is let go with the last of
# them. Let go twice, its number may already be another sandbox's card.
drop_node() {
    local node=$1 record=$state/nodes/$(basename "$1")
    [[ -f $record ]] || return 0
    local image offset loop
    read -r image offset loop < "$record"
    rm -f "$node" "$record"
    grep -qs " $loop\$" "$state"/nodes/* || losetup -d "$loop" 2>/dev/null || true
}

attach_partition() { # partition-node image
    local node=$1 image=$2 offset size
    read -r offset size < <(first_partition "$image")
    make_node "$node" "$(attach_loop "$image" "$offset" "$size")" "$image" "$offset"
}

install_exit_hook() {
    mkdir -p "$DASHREC_HOST_DIR/exit.d"
    printf '#!/bin/sh\nexec "%s" shutdown\n' "$here/card.sh" > "$DASHREC_HOST_DIR/exit.d/50-card"
    chmod +x "$DASHREC_HOST_DIR/exit.d/50-card"
}

# Loop devices keep buffers of their own; writes through one must reach the
# image before it is read, and stale buffers must go after it was written.
flush_image() {
    local image=$1 record img off loop
    for record in "$state"/nodes/*; do
        [[ -f $record ]] || continue
        read -r img off loop < "$record"
        [[ $img == "$image" ]] && blockdev --flushbufs "$loop" 2>/dev/null || true
    done
}

mount_record() { # mount point -> its state folder
    echo "$state/mounts/$(realpath -m "$1" | tr / _)"
}

# A file system of its own, as large as the volume, so that the mount point
# lies on another device than its parent and free space is the card's. A
# kernel whose tmpfs keeps no user attributes (before 6.6) gets the plain folder.
mount_own_volume() { # device point state-folder
    /bin/mount -t tmpfs -o "size=$(blockdev --getsize64 "$1"),mode=0755" card "$2" || return 0
    local probe='import os, sys; os.setxattr(sys.argv[1], "user.probe", b"1"); os.removexattr(sys.argv[1], "user.probe")'
    if python3 -c "$probe" "$2" 2>/dev/null; then
        touch "$3/own"
    else
        /bin/umount "$2"
    fi
}

volume_kind() { # state-folder
    if [[ -f $1/own ]]; then echo own; else echo plain; fi
}

# What was mounted goes, as the folder under a real mount shows again. A card
# pulled while files are open leaves them on a detached volume.
leave_volume() { # own|plain point
    if [[ $1 == own ]]; then
        /bin/umount "$2" 2>/dev/null || /bin/umount -l "$2"
    else
        find "$2" -mindepth 1 -delete
    fi
}

do_mount() {
    local device=$1 point record
    point=$(realpath -m "$2")
    record=$state/nodes/$(basename "$device")
    # Not one of the media: the real mount answers.
    [[ -f $record ]] || exec /bin/mount "$@"
    [[ -b $device ]] || fail "mount: $device: special device does not exist"
    [[ -d $point ]] || fail "mount: $point: mount point does not exist"
    local mounted
    mounted=$(mount_record "$point")
    [[ ! -d $mounted ]] || fail "mount: $point: $device already mounted"
    local image offset loop
    read -r image offset loop < "$record"
    flush_image "$image"
    mkdir -p "$mounted"
    mount_own_volume "$device" "$point" "$mounted"
    if ! "$here/volume.py" materialise "$image" "$offset" "$point" "$mounted/volume.json" 2>"$mounted/error"; then
        leave_volume "$(volume_kind "$mounted")" "$point"
        rm -rf "$mounted"
        fail "mount: $point: wrong fs type, bad option, bad superblock on $device"
    fi
    echo "$device" > "$mounted/device"
    echo "$point" > "$mounted/point"
}

write_back() { # mount state folder
    local mounted=$1 device point image offset loop
    device=$(cat "$mounted/device")
    point=$(cat "$mounted/point")
    read -r image offset loop < "$state/nodes/$(basename "$device")"
    sync
    "$here/volume.py" writeback "$image" "$offset" "$point" "$mounted/volume.json" || true
    flush_image "$image"
    rm -rf "$mounted"
}

do_umount() {
    local target=$1 mounted
    for mounted in "$state"/mounts/*; do
        [[ -d $mounted ]] || continue
        if [[ $(cat "$mounted/device") == "$target" || $(cat "$mounted/point") == "$(realpath -m "$target")" ]]; then
            local point kind
            point=$(cat "$mounted/point")
            kind=$(volume_kind "$mounted")
            write_back "$mounted"
            leave_volume "$kind" "$point"
            return 0
        fi
    done
    exec /bin/umount "$target"
}

unmount_device() { # every mount of a node
    local node=$1 mounted
    for mounted in "$state"/mounts/*; do
        [[ -d $mounted && $(cat "$mounted/device") == "$node" ]] && do_umount "$node"
    done
    return 0
}

command=${1:-}
shift || true
# One change of the media at a time: a card pulled, or a volume written back,
# while another process mounts it waits until that mount is laid out, so no
# half-made mount record is ever read.
if [[ $command != make ]]; then
    exec 9> "$state/lock"
    flock 9
fi
case $command in
    make)
        truncate -s "$(($2 * 1048576))" "$1"
        ;;
    attach)
        read -r disk partition < <(nodes_of "$1")
        image=$(realpath "$2")
        install_exit_hook
        if [[ $1 == emmc ]]; then
            loop=$(attach_loop "$image" 0 0)
            make_node "$partition" "$loop" "$image" 0
            make_node "$disk" "$loop" "$image" 0
        else
            # The partition first: whoever sees the disk appear may mount it at once.
            attach_partition "$partition" "$image"
            make_node "$disk" "$(attach_loop "$image" 0 0)" "$image" 0
        fi
        ;;
    detach)
        read -r disk partition < <(nodes_of "$1")
        unmount_device "$partition"
        unmount_device "$disk"
        drop_node "$partition"
        drop_node "$disk"
        ;;
    partprobe)
        record=$state/nodes/$(basename "$1")
        [[ -f $record ]] || fail "partprobe: $1: no such device"
        read -r image offset loop < "$record"
        blockdev --flushbufs "$loop"
        partition="${1}1"
        [[ $1 == /dev/mmcblk* ]] && partition="${1}p1"
        unmount_device "$partition"
        drop_node "$partition"
        attach_partition "$partition" "$image"
        ;;
    mount)
        do_mount "$@"
        ;;
    umount)
        do_umount "$1"
        ;;
    shutdown)
        for mounted in "$state"/mounts/*; do
            [[ -d $mounted ]] && write_back "$mounted"
        done
        for record in "$state"/nodes/*; do
            [[ -f $record ]] && drop_node "/dev/$(basename "$record")"
        done
        ;;
    *)
        sed -n '2,14p' "$0" >&2
        exit 2
        ;;
esac
