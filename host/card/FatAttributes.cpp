// The card's FAT attributes on the host: the mount shim lays each file's
// attribute byte out in an extended attribute and writes it back from there.

#include "dashrec/core/FatAttributes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/xattr.h>

namespace vk::FatAttributes {

namespace {
const char* const ATTRIBUTE_XATTR = "user.fat.attributes";
}

int Get(int fd, uint32_t& attributes)
{
    char text[16] = {};
    ssize_t length = fgetxattr(fd, ATTRIBUTE_XATTR, text, sizeof(text) - 1);
    // A file made since the volume was laid out, as a new file on the card.
    if (length < 0 && errno == ENODATA) {
        attributes = ARCHIVE;
        return 0;
    }
    if (length < 0)
        return -1;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || value > 0xFF) {
        errno = EINVAL;
        return -1;
    }
    attributes = static_cast<uint32_t>(value);
    return 0;
}

int Set(int fd, uint32_t attributes)
{
    char text[16];
    int length = std::snprintf(text, sizeof(text), "%u", attributes & 0xFF);
    return fsetxattr(fd, ATTRIBUTE_XATTR, text, static_cast<size_t>(length), 0);
}

} // namespace vk::FatAttributes
