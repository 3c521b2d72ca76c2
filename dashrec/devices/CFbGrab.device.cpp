// The board's frame buffer: screen information and pixels of the device node.

#include "dashrec/devices/CFbGrab.h"

#include "dashrec/core/SDDebug.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vk {

bool CFbGrab::GetFramebufferData(const char* device, Screen& screen)
{
    int fd = open(device, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("Error: Couldn't open %s.\n", device);
        return false;
    }
    fb_fix_screeninfo fix {};
    bool known = ioctl(fd, FBIOGET_VSCREENINFO, &screen.var) == 0 && ioctl(fd, FBIOGET_FSCREENINFO, &fix) == 0;
    close(fd);
    if (!known) {
        Singleton<SDDebug>::Inst()->Print("ioctl FBIOGET_VSCREENINFO\n");
        return false;
    }
    screen.lineLength = fix.line_length;
    return true;
}

bool CFbGrab::ReadFramebuffer(const char* device, size_t length, unsigned char* buffer)
{
    int fd = open(device, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("Error: Couldn't open %s.\n", device);
        return false;
    }
    size_t done = 0;
    while (done < length) {
        ssize_t got = read(fd, buffer + done, length - done);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    return done == length;
}

} // namespace vk
