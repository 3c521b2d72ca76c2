#include "dashrec/devices/Imx335Debug.h"

#include "dashrec/core/SDDebug.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vk {

int Imx335Debug::GetShr0()
{
    return ReadNode("/sys/imx335reg/shr0");
}

int Imx335Debug::GetShr1()
{
    return ReadNode("/sys/imx335reg/shr1");
}

int Imx335Debug::GetExp()
{
    return ReadNode("/sys/imx335reg/exp");
}

int Imx335Debug::ReadNode(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[Imx335Debug]%s can't be opened\n", path);
        return -1;
    }
    char text[33] = "-1";
    ssize_t got = read(fd, text, 32);
    close(fd);
    if (got <= 0)
        return -1;
    text[got] = '\0';
    return std::atoi(text);
}

} // namespace vk
