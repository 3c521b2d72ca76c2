#include "dashrec/core/FatAttributes.h"

#include <linux/msdos_fs.h>
#include <sys/ioctl.h>

namespace vk::FatAttributes {

int Get(int fd, uint32_t& attributes)
{
    return ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0 ? 0 : -1;
}

int Set(int fd, uint32_t attributes)
{
    return ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) == 0 ? 0 : -1;
}

} // namespace vk::FatAttributes
