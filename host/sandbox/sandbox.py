#!/usr/bin/python3 -S
"""sandbox.py COMMAND [ARGS...]: runs COMMAND in a private mount namespace laid
out like the board: fresh /tmp, /mnt, /data and /app, a tmpfs /sys, a small
/dev with its own pty instance, the host shims first on PATH, and no right to
set the clock. Nothing the command does reaches the machine's own /tmp, /sys,
/dev or clock.

DASHREC_SANDBOX_ROOT=DIR keeps the sandbox's files in DIR (the caller's to
inspect and remove); otherwise a fresh folder is made and removed at the end.
DASHREC_SANDBOX_NETWORK=own gives it a network of its own with only loopback
up, so that the device's fixed ports are free to every test at once.
Inside, DASHREC_HOST_DIR names a folder for the stand-ins' own state; the
executables in its exit.d run when the command has ended (the card's
write-back).

Every test case runs in a sandbox of its own, so the namespace is made with
system calls from this one process: a program started per mount would cost
more than most cases take.
"""

import ctypes
import fcntl
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))

CLONE_NEWNS = 0x00020000
CLONE_NEWNET = 0x40000000
SIOCGIFFLAGS = 0x8913
SIOCSIFFLAGS = 0x8914
IFF_UP = 0x1
CLONE_NEWUSER = 0x10000000
MS_BIND = 4096
MS_REC = 16384
MS_PRIVATE = 1 << 18
MNT_DETACH = 2
# The real nodes a program needs; the rest of /dev is the sandbox's own.
DEVICE_NODES = ("null", "zero", "urandom", "random", "tty")
BOARD_FOLDERS = ("mnt", "data", "app", "tmp")  # tmp last: the staging folder may lie under the real /tmp
SERIAL_LINES = ("/dev/ttyS1", "/dev/ttyS4")

libc = ctypes.CDLL(None, use_errno=True)


def checked(result, what):
    if result != 0:
        error = ctypes.get_errno()
        raise OSError(error, "%s: %s" % (what, os.strerror(error)))


def mount(source, target, kind=None, flags=0, options=None):
    encode = lambda text: text.encode() if text is not None else None
    checked(libc.mount(encode(source), encode(target), encode(kind), ctypes.c_ulong(flags), encode(options)),
            "mount %s on %s" % (source, target))


def bind(source, target):
    mount(source, target, flags=MS_BIND)


def detach(target):
    libc.umount2(target.encode(), MNT_DETACH)


def enter_namespace(own_network):
    """A mount namespace of its own, through a user namespace when not root."""
    flags = CLONE_NEWNS | (CLONE_NEWNET if own_network else 0)
    if os.geteuid() == 0:
        checked(libc.unshare(flags), "unshare")
    else:
        uid, gid = os.geteuid(), os.getegid()
        checked(libc.unshare(CLONE_NEWUSER | flags), "unshare")
        for name, text in (("setgroups", "deny"), ("uid_map", "0 %d 1" % uid), ("gid_map", "0 %d 1" % gid)):
            with open("/proc/self/" + name, "w") as f:
                f.write(text)
    mount(None, "/", flags=MS_REC | MS_PRIVATE)
    if own_network:
        loopback_up()


def loopback_up():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = struct.pack("16sH", b"lo", 0)
        flags = struct.unpack("16sH", fcntl.ioctl(s, SIOCGIFFLAGS, request))[1]
        fcntl.ioctl(s, SIOCSIFFLAGS, struct.pack("16sH", b"lo", flags | IFF_UP))


def make_dev(stage):
    """A tmpfs /dev with the few real nodes and a pty instance of its own."""
    real = os.path.join(stage, "dev")
    os.mkdir(real)
    bind("/dev", real)
    mount("devtmp", "/dev", "tmpfs", options="mode=0755")
    for node in DEVICE_NODES:
        open("/dev/" + node, "w").close()
        bind(os.path.join(real, node), "/dev/" + node)
    detach(real)
    for folder in ("/dev/pts", "/dev/shm"):
        os.mkdir(folder)
    mount("devpts", "/dev/pts", "devpts", options="newinstance,ptmxmode=0666")
    for link, target in (("ptmx", "pts/ptmx"), ("fd", "/proc/self/fd"), ("stdin", "/proc/self/fd/0"),
                         ("stdout", "/proc/self/fd/1"), ("stderr", "/proc/self/fd/2")):
        os.symlink(target, "/dev/" + link)
    mount("shm", "/dev/shm", "tmpfs", options="mode=1777")
    # Whoever plays the peer binds a pty slave over each.
    for line in SERIAL_LINES:
        open(line, "w").close()


def bind_fresh_keeping(root, stage, folder, keep_visible):
    """/FOLDER becomes the sandbox's own; the top folders of paths that must
    stay reachable under it (a tree or build cloned into /tmp) are bound back."""
    real = os.path.join(stage, folder)
    os.makedirs("/" + folder, exist_ok=True)
    os.mkdir(real)
    bind("/" + folder, real)
    bind(os.path.join(root, folder), "/" + folder)
    for path in keep_visible:
        if not path.startswith("/%s/" % folder):
            continue
        top = path[len(folder) + 2:].split("/")[0]
        if os.path.isdir("/%s/%s" % (folder, top)):
            continue
        os.makedirs("/%s/%s" % (folder, top))
        bind(os.path.join(real, top), "/%s/%s" % (folder, top))
    detach(real)


def lay_out(root, stage, command):
    for folder in ("tmp", "mnt", "data", "app", "host"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    make_dev(stage)
    program = shutil.which(command) or command
    keep_visible = [os.path.realpath(p) for p in (TOP, os.getcwd(), os.environ.get("DASHREC_BINARY_DIR"),
                                                   os.path.dirname(program)) if p]
    mount("systmp", "/sys", "tmpfs")
    for folder in BOARD_FOLDERS:
        bind_fresh_keeping(root, stage, folder, keep_visible)
    os.chmod(os.path.join(root, "tmp"), 0o1777)


def run_exit_hooks(root):
    hooks = os.path.join(root, "host", "exit.d")
    for hook in sorted(os.listdir(hooks)) if os.path.isdir(hooks) else []:
        path = os.path.join(hooks, hook)
        if os.access(path, os.X_OK):
            subprocess.call([path])


def run(command):
    # Setting the clock is refused to the command and all it starts.
    child = subprocess.Popen(["setpriv", "--bounding-set", "-sys_time", "--inh-caps", "-sys_time", "--"] + command)
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, lambda sig, frame: child.send_signal(sig))
    status = child.wait()
    return 128 - status if status < 0 else status


def main(command):
    if not command:
        sys.stderr.write(__doc__)
        return 2
    enter_namespace(os.environ.get("DASHREC_SANDBOX_NETWORK") == "own")
    keep = "DASHREC_SANDBOX_ROOT" in os.environ
    root = os.environ.get("DASHREC_SANDBOX_ROOT") or tempfile.mkdtemp(prefix="dashrec-sandbox.", dir="/var/tmp")
    root = os.path.abspath(root)
    # Where the real folders are bound while the sandbox is laid out: kept apart
    # from root, and only ever removed with rmdir, so no clean-up can reach into them.
    stage = tempfile.mkdtemp(prefix="dashrec-stage.", dir="/var/tmp")
    status = 1
    try:
        lay_out(root, stage, command[0])
        os.environ["DASHREC_HOST_DIR"] = os.path.join(root, "host")
        # The system's own programs before a user's version managers: a shim
        # that picks an interpreter per call costs seconds where the card
        # stand-in runs python3 for every mount.
        os.environ["PATH"] = ":".join([os.path.join(TOP, "host", "bin"), "/usr/sbin", "/usr/bin", "/sbin", "/bin",
                                       os.environ.get("PATH", "")])
        status = run(command)
    finally:
        run_exit_hooks(root)
        for folder in os.listdir(stage):
            detach(os.path.join(stage, folder))
            os.rmdir(os.path.join(stage, folder))
        os.rmdir(stage)
        # Detach the device folders first, so that nothing bound into them is reachable below root.
        for folder in BOARD_FOLDERS:
            detach("/" + folder)
        if not keep:
            remove_tree(root)
    return status


def remove_tree(root):
    """Never across into another file system (a card's mount left behind)."""
    device = os.lstat(root).st_dev
    for folder, folders, files in os.walk(root, topdown=False):
        for name in files + folders:
            path = os.path.join(folder, name)
            try:
                if os.lstat(path).st_dev != device:
                    continue
                if os.path.isdir(path) and not os.path.islink(path):
                    os.rmdir(path)
                else:
                    os.unlink(path)
            except OSError:
                pass
    try:
        os.rmdir(root)
    except OSError:
        pass


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
