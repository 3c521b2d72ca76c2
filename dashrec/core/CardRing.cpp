#include "dashrec/core/CardRing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk::CardRing {

int Open(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size < SLOTS * SLOT_SIZE) {
        close(fd);
        return -1;
    }
    return fd;
}

namespace {
bool InRing(int slot, size_t length)
{
    return slot >= 0 && slot < SLOTS && length <= static_cast<size_t>(SLOT_SIZE);
}
} // namespace

bool ReadSlot(int fd, int slot, void* data, size_t length)
{
    return InRing(slot, length) && pread(fd, data, length, slot * SLOT_SIZE) == static_cast<ssize_t>(length);
}

bool WriteSlot(int fd, int slot, const void* data, size_t length)
{
    return InRing(slot, length) && pwrite(fd, data, length, slot * SLOT_SIZE) == static_cast<ssize_t>(length);
}

} // namespace vk::CardRing
