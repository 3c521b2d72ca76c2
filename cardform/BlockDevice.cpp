#include "cardform/BlockDevice.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsRegularFile(int fd, struct stat* info)
{
    return fstat(fd, info) == 0 && S_ISREG(info->st_mode);
}

} // namespace

int BlockDeviceSectors(int fd, uint64_t* sectors)
{
    struct stat info {};
    if (IsRegularFile(fd, &info)) {
        *sectors = static_cast<uint64_t>(info.st_size) / 512;
        return 0;
    }
    unsigned long blocks = 0;
    if (ioctl(fd, BLKGETSIZE, &blocks) != 0)
        return -1;
    *sectors = blocks;
    return 0;
}

int BlockDeviceFlush(int fd)
{
    struct stat info {};
    if (IsRegularFile(fd, &info))
        return fsync(fd);
    return ioctl(fd, BLKFLSBUF, 0);
}

ssize_t BlockDeviceWrite(int fd, const void* buffer, size_t bytes)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t written = write(fd, static_cast<const char*>(buffer) + done, bytes - done);
        if (written <= 0)
            break;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

ssize_t BlockDeviceRead(int fd, void* buffer, size_t bytes)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t readed = read(fd, static_cast<char*>(buffer) + done, bytes - done);
        if (readed <= 0)
            break;
        done += static_cast<size_t>(readed);
    }
    return static_cast<ssize_t>(done);
}
