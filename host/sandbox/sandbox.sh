#!/usr/bin/env bash
# sandbox.sh COMMAND [ARGS...]: runs COMMAND in a private mount namespace laid
# out like the board: fresh /tmp, /mnt, /data and /app, a tmpfs /sys, a small
# /dev with its own pty instance, the host shims first on PATH, and no right to
# set the clock. Nothing the command does reaches the machine's own /tmp, /sys,
# /dev or clock.
#
# DASHREC_SANDBOX_ROOT=DIR keeps the sandbox's files in DIR (the caller's to
# inspect and remove); otherwise a fresh folder is made and removed at the end.
# Inside, DASHREC_HOST_DIR names a folder for the stand-ins' own state.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [[ "${DASHREC_IN_SANDBOX:-}" != 1 ]]; then
    if [[ $EUID -eq 0 ]]; then
        ns=(unshare --mount --propagation private)
    else
        ns=(unshare --user --map-root-user --mount --propagation private)
    fi
    exec "${ns[@]}" env DASHREC_IN_SANDBOX=1 "$here/sandbox.sh" "$@"
fi

keep=1
if [[ -z "${DASHREC_SANDBOX_ROOT:-}" ]]; then
    # Outside the paths the sandbox covers, so it stays reachable inside.
    DASHREC_SANDBOX_ROOT=$(mktemp -d /var/tmp/dashrec-sandbox.XXXXXX)
    keep=0
fi
root=$DASHREC_SANDBOX_ROOT
mkdir -p "$root"/{tmp,mnt,data,app,host}
# Where the real folders are bound while the sandbox is laid out: kept apart
# from $root, and only ever removed with rmdir, so no clean-up can reach into them.
stage=$(mktemp -d /var/tmp/dashrec-stage.XXXXXX)

# Hooks of the stand-ins that must run when the sandbox ends (card write-back).
on_exit() {
    local status=$?
    for hook in "$root"/host/exit.d/*; do
        [[ -x "$hook" ]] && "$hook" || true
    done
    umount -l "$stage"/* 2>/dev/null || true
    rmdir "$stage"/* "$stage" 2>/dev/null || true
    # Detach the device folders first, so that nothing bound into them is reachable below $root.
    umount -R -l /tmp /mnt /data /app 2>/dev/null || true
    [[ $keep == 1 ]] || rm -rf --one-file-system "$root"
    exit "$status"
}
trap on_exit EXIT

# The board's own top-level folders; on this machine they are made once, empty.
bind_fresh() {
    [[ -d "/$1" ]] || mkdir "/$1"
    mount --bind "$root/$1" "/$1"
}

# /dev: a tmpfs with the few real nodes a program needs and a pty instance of its own.
mkdir "$stage/dev"
mount --bind /dev "$stage/dev"
mount -t tmpfs -o mode=0755 devtmp /dev
for node in null zero urandom random tty; do
    touch "/dev/$node"
    mount --bind "$stage/dev/$node" "/dev/$node"
done
umount -l "$stage/dev"
mkdir -p /dev/pts /dev/shm
mount -t devpts -o newinstance,ptmxmode=0666 devpts /dev/pts
ln -s pts/ptmx /dev/ptmx
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
mount -t tmpfs -o mode=1777 shm /dev/shm

# The tree and the build may lie under a folder the sandbox covers (a clone in
# /tmp): their top folders are bound back in, the rest stays fresh.
keep_visible=("$here/../.." "$PWD" "${DASHREC_BINARY_DIR:-}" "$(dirname "$(command -v -- "$1" || echo "$1")")")
bind_fresh_keeping() {
    local dir=$1 path top
    [[ -d "/$dir" ]] || mkdir "/$dir"
    mkdir "$stage/$dir"
    mount --bind "/$dir" "$stage/$dir"
    bind_fresh "$dir"
    for path in "${keep_visible[@]}"; do
        [[ -n "$path" ]] || continue
        path=$(realpath -m "$path")
        [[ "$path" == "/$dir/"* ]] || continue
        top=${path#/$dir/}
        top=${top%%/*}
        [[ -d "/$dir/$top" ]] && continue
        mkdir -p "/$dir/$top"
        mount --bind "$stage/$dir/$top" "/$dir/$top"
    done
    umount -l "$stage/$dir"
}

mount -t tmpfs -o mode=0755 systmp /sys
bind_fresh_keeping mnt
bind_fresh_keeping data
bind_fresh_keeping app
chmod 1777 "$root/tmp"
bind_fresh_keeping tmp # last: the staging folder may lie under the real /tmp

# The serial lines are pty slaves bound over these files by whoever plays the peer.
touch /dev/ttyS1 /dev/ttyS4

export DASHREC_HOST_DIR="$root/host"
export PATH="$here/../bin:$PATH"

setpriv --bounding-set -sys_time --inh-caps -sys_time -- "$@"
