#!/usr/bin/env python3
"""The host's stand-in for a mounted vfat volume (this kernel has none).

  volume.py materialise IMAGE OFFSET MOUNTPOINT STATE
      Lays the FAT volume found at byte OFFSET of IMAGE out in MOUNTPOINT: its
      folders, and its files with their sizes and contents (holes where the
      card holds zeros), the FAT attribute byte of each in the extended
      attribute "user.fat.attributes". STATE records what was laid out.

  volume.py writeback IMAGE OFFSET MOUNTPOINT STATE
      Writes what was done in MOUNTPOINT back into the volume: deletions,
      new folders, renames and attributes through mtools, the data written
      into a file in place at that file's own clusters (never reallocated),
      and new or resized files copied in with mtools.

The volume is read here, FAT12/16/32 with long names; every change of its
metadata is left to mtools, so the image stays a card that fsck.fat checks.
"""

import errno
import json
import os
import struct
import subprocess
import sys

ATTRIBUTE_XATTR = "user.fat.attributes"
# Every laid-out entry carries this time stamp, so that a write shows in st_mtime.
LAID_OUT_NS = 946684800 * 1000000000
CHUNK = 1 << 20
ATTRIBUTE_FLAGS = ((0x01, "r"), (0x02, "h"), (0x04, "s"), (0x20, "a"))


class NotFat(Exception):
    pass


class Volume:
    def __init__(self, image, offset):
        self.image = image
        self.offset = offset
        self.file = open(image, "rb")
        boot = self.read(0, 512)
        if len(boot) < 512 or boot[510:512] != b"\x55\xaa":
            raise NotFat("no boot sector")
        (self.sector, self.per_cluster, reserved, fats, root_entries, total16, _, fat16) = struct.unpack_from(
            "<HBHBHHBH", boot, 11)
        total32, fat32, self.root_cluster = struct.unpack_from("<II4xI", boot, 32)
        if self.sector not in (512, 1024, 2048, 4096) or self.per_cluster == 0 or fats == 0:
            raise NotFat("no FAT geometry")
        fat_sectors = fat16 or fat32
        total = total16 or total32
        root_sectors = (root_entries * 32 + self.sector - 1) // self.sector
        self.root_start = (reserved + fats * fat_sectors) * self.sector
        self.root_size = root_sectors * self.sector
        self.data_start = self.root_start + self.root_size
        self.clusters = (total * self.sector - self.data_start) // self.cluster_size()
        # A FAT32 boot sector leaves the 16-bit FAT size empty, whatever the cluster count.
        self.bits = 32 if fat16 == 0 else 12 if self.clusters < 4085 else 16
        if self.bits != 32:
            self.root_cluster = 0
        self.fat = self.read(reserved * self.sector, fat_sectors * self.sector)

    def cluster_size(self):
        return self.sector * self.per_cluster

    def read(self, at, length):
        self.file.seek(self.offset + at)
        return self.file.read(length)

    def next_cluster(self, cluster):
        if self.bits == 32:
            return struct.unpack_from("<I", self.fat, cluster * 4)[0] & 0x0FFFFFFF
        if self.bits == 16:
            return struct.unpack_from("<H", self.fat, cluster * 2)[0]
        pair = struct.unpack_from("<H", self.fat, cluster * 3 // 2)[0]
        return pair >> 4 if cluster & 1 else pair & 0xFFF

    def chain(self, start):
        end = {12: 0xFF8, 16: 0xFFF8, 32: 0x0FFFFFF8}[self.bits]
        clusters = []
        cluster = start
        while 2 <= cluster < end and cluster < self.clusters + 2 and len(clusters) <= self.clusters:
            clusters.append(cluster)
            cluster = self.next_cluster(cluster)
        return clusters

    def cluster_offset(self, cluster):
        """Byte offset of a cluster in the image."""
        return self.offset + self.data_start + (cluster - 2) * self.cluster_size()

    def directory_bytes(self, cluster):
        if cluster == 0:
            return self.read(self.root_start, self.root_size)
        return b"".join(self.read(self.data_start + (c - 2) * self.cluster_size(), self.cluster_size())
                        for c in self.chain(cluster))

    def entries(self, cluster):
        """(name, attribute, first cluster, size) of each entry of a directory."""
        data = self.directory_bytes(cluster)
        long_parts = {}
        for at in range(0, len(data) - 31, 32):
            entry = data[at:at + 32]
            if entry[0] == 0:
                break
            if entry[0] == 0xE5:
                long_parts = {}
                continue
            attribute = entry[11]
            if attribute & 0x3F == 0x0F:
                part = entry[1:11] + entry[14:26] + entry[28:32]
                long_parts[entry[0] & 0x1F] = part.decode("utf-16-le", "replace")
                continue
            name = long_name(long_parts) or short_name(entry)
            long_parts = {}
            if attribute & 0x08 or name in (".", ".."):
                continue
            high = struct.unpack_from("<H", entry, 20)[0] if self.bits == 32 else 0
            first = high << 16 | struct.unpack_from("<H", entry, 26)[0]
            yield name, attribute, first, struct.unpack_from("<I", entry, 28)[0]

    def walk(self, cluster=None, prefix=""):
        """Every folder and file below a directory, parents first."""
        for name, attribute, first, size in self.entries(self.root_cluster if cluster is None else cluster):
            path = prefix + name
            folder = bool(attribute & 0x10)
            yield path, attribute, first, size, folder
            if folder:
                yield from self.walk(first, path + "/")

    def runs(self, first):
        """The file's clusters as [first cluster, count] runs."""
        runs = []
        for cluster in self.chain(first):
            if runs and runs[-1][0] + runs[-1][1] == cluster:
                runs[-1][1] += 1
            else:
                runs.append([cluster, 1])
        return runs


def long_name(parts):
    if not parts:
        return None
    text = "".join(parts[k] for k in sorted(parts))
    return text.split("\x00")[0]


def short_name(entry):
    base = entry[0:8]
    if base[0] == 0x05:
        base = b"\xe5" + base[1:]
    base = base.decode("cp437").rstrip()
    extension = entry[8:11].decode("cp437").rstrip()
    if entry[12] & 0x08:
        base = base.lower()
    if entry[12] & 0x10:
        extension = extension.lower()
    return base + "." + extension if extension else base


def data_extents(fd, start, length):
    """The (offset, length) pieces of a file region that hold data, holes skipped."""
    end = start + length
    at = start
    while at < end:
        try:
            data = os.lseek(fd, at, os.SEEK_DATA)
            hole = os.lseek(fd, data, os.SEEK_HOLE)
        except OSError as error:
            if error.errno == errno.ENXIO:
                return  # only a hole from here to the end of the file
            data, hole = at, end  # no hole information: all of it may be data
        if data >= end:
            return
        yield data, min(hole, end) - data
        at = min(hole, end)


def data_chunks(fd, start, length):
    """(offset, bytes) of the data in a file region, in chunks, holes skipped."""
    for data, size in data_extents(fd, start, length):
        done = 0
        while done < size:
            chunk = os.pread(fd, min(CHUNK, size - done), data + done)
            if not chunk:
                return
            yield data + done, chunk
            done += len(chunk)


def copy_range(source, source_at, target, target_at, length):
    """Copies bytes between descriptors, leaving holes where the source has only zeros."""
    for at, chunk in data_chunks(source, source_at, length):
        if chunk.count(0) != len(chunk):
            os.pwrite(target, chunk, target_at + at - source_at)


def attribute_of(path):
    try:
        return int(os.getxattr(path, ATTRIBUTE_XATTR))
    except (OSError, ValueError):
        return None


def materialise(image, offset, mount_point, state):
    volume = Volume(image, offset)
    os.makedirs(mount_point, exist_ok=True)
    laid_out = []
    source = os.open(image, os.O_RDONLY)
    for path, attribute, first, size, folder in volume.walk():
        target = os.path.join(mount_point, path)
        runs = [] if folder else volume.runs(first)
        if folder:
            os.makedirs(target, exist_ok=True)
        else:
            fd = os.open(target, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            file_at = 0
            for cluster, count in runs:
                length = min(count * volume.cluster_size(), size - file_at)
                if length <= 0:
                    break
                copy_range(source, volume.cluster_offset(cluster), fd, file_at, length)
                file_at += length
            os.ftruncate(fd, size)
            os.close(fd)
        os.setxattr(target, ATTRIBUTE_XATTR, str(attribute).encode())
        laid_out.append({"path": path, "folder": folder, "size": size, "attribute": attribute, "runs": runs,
                         "inode": os.stat(target).st_ino})
    os.close(source)
    for entry in laid_out:
        os.utime(os.path.join(mount_point, entry["path"]), ns=(LAID_OUT_NS, LAID_OUT_NS))
    with open(state, "w") as out:
        json.dump({"cluster_size": volume.cluster_size(), "cluster_2_at": volume.cluster_offset(2),
                   "entries": laid_out}, out)


class Mtools:
    def __init__(self, image, offset):
        self.drive = "%s@@%d" % (image, offset)
        self.env = dict(os.environ, MTOOLS_SKIP_CHECK="1")

    def run(self, program, *arguments):
        command = [program, "-i", self.drive] + list(arguments)
        result = subprocess.run(command, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            sys.stderr.write("volume.py: %s failed: %s" % (" ".join(command), result.stdout))
        return result.returncode == 0


def on_card(path):
    return "::/" + path


def current_entries(mount_point):
    """inode -> (path, folder, stat) of what is in the mount point now, parents first."""
    found = {}
    for folder, folders, files in os.walk(mount_point):
        folders.sort()
        for name in sorted(folders) + sorted(files):
            full = os.path.join(folder, name)
            info = os.lstat(full)
            found[info.st_ino] = (os.path.relpath(full, mount_point), name in folders, info)
    return found


def writeback(image, offset, mount_point, state):
    with open(state) as source:
        laid_out = json.load(source)
    mtools = Mtools(image, offset)
    before = {entry["inode"]: entry for entry in laid_out["entries"]}
    now = current_entries(mount_point)

    # Deepest first, so a folder is empty when its turn comes.
    for entry in sorted((e for i, e in before.items() if i not in now), key=lambda e: -e["path"].count("/")):
        mtools.run("mrd" if entry["folder"] else "mdel", on_card(entry["path"]))
    for inode, (path, folder, _) in now.items():
        if folder and inode not in before:
            mtools.run("mmd", on_card(path))
    rename_all(mtools, before, now)

    ok = True
    image_fd = os.open(image, os.O_RDWR)
    for inode, (path, folder, info) in now.items():
        entry = before.get(inode)
        if folder:
            continue
        full = os.path.join(mount_point, path)
        if entry is not None and entry["size"] == info.st_size:
            if info.st_mtime_ns != LAID_OUT_NS:
                write_in_place(full, entry["runs"], laid_out, image_fd)
        else:
            if entry is not None:
                mtools.run("mdel", on_card(path))
            ok &= mtools.run("mcopy", "-o", full, on_card(path))
    os.fsync(image_fd)
    os.close(image_fd)

    for inode, (path, folder, _) in now.items():
        attribute = attribute_of(os.path.join(mount_point, path))
        if attribute is None:
            continue
        entry = before.get(inode)
        # mcopy and mmd give a new file the archive bit, a new folder none.
        had = entry["attribute"] if entry is not None else (0x10 if folder else 0x20)
        wanted = attribute
        flags = ["%s%s" % ("+" if wanted & bit else "-", letter) for bit, letter in ATTRIBUTE_FLAGS
                 if (wanted ^ had) & bit]
        if flags:
            mtools.run("mattrib", *flags, on_card(path))
    return ok


def rename_all(mtools, before, now):
    """Renames, folders first; files go through a temporary name so that swaps work."""
    moved = {}
    for inode, (path, folder, _) in now.items():
        entry = before.get(inode)
        if folder and entry is not None and renamed(entry["path"], moved) != path:
            mtools.run("mmove", on_card(renamed(entry["path"], moved)), on_card(path))
            moved[entry["path"]] = path
    files = [(inode, renamed(before[inode]["path"], moved), path) for inode, (path, folder, _) in now.items()
             if not folder and inode in before and renamed(before[inode]["path"], moved) != path]
    for inode, old, _ in files:
        mtools.run("mmove", on_card(old), on_card(temporary(old, inode)))
    for inode, old, new in files:
        mtools.run("mmove", on_card(temporary(old, inode)), on_card(new))


def renamed(path, moved):
    """A path as it is after the folder renames done so far."""
    for old, new in moved.items():
        if path == old or path.startswith(old + "/"):
            return new + path[len(old):]
    return path


def temporary(path, inode):
    """As long as the name it stands in for, so that it takes the same directory
    slots and the final name lands where the recorder's layout expects it."""
    prefix = "~moving."
    width = max(len(os.path.basename(path)) - len(prefix), 1)
    return os.path.join(os.path.dirname(path), "%s%0*d" % (prefix, width, inode))


def write_in_place(path, runs, geometry, image_fd):
    """The file's written data, back into its own clusters."""
    cluster_size = geometry["cluster_size"]
    fd = os.open(path, os.O_RDONLY)
    file_at = 0
    for cluster, count in runs:
        cluster_at = geometry["cluster_2_at"] + (cluster - 2) * cluster_size
        for at, chunk in data_chunks(fd, file_at, count * cluster_size):
            os.pwrite(image_fd, chunk, cluster_at + at - file_at)
        file_at += count * cluster_size
    os.close(fd)


def main(arguments):
    if len(arguments) != 5 or arguments[0] not in ("materialise", "writeback"):
        sys.stderr.write(__doc__)
        return 2
    action, image, offset, mount_point, state = arguments
    try:
        if action == "materialise":
            materialise(image, int(offset), mount_point, state)
            return 0
        return 0 if writeback(image, int(offset), mount_point, state) else 1
    except NotFat as error:
        sys.stderr.write("volume.py: %s at %s@%s: %s\n" % (action, image, offset, error))
        return 3


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
