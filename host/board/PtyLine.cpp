#include "host/board/PtyLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <termios.h>
#include <unistd.h>

namespace board {

namespace {

bool Fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "[board] %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    return false;
}

} // namespace

PtyLine::~PtyLine()
{
    Unbind();
}

bool PtyLine::Bind(const std::string& devicePath)
{
    Unbind();
    // Non-blocking: while nobody reads the line, what the peer sends is lost
    // as on a real serial line, and the peer's thread never stalls.
    _master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (_master < 0 || grantpt(_master) != 0 || unlockpt(_master) != 0)
        return Fail("cannot open a pty for", devicePath);
    const char* slaveName = ptsname(_master);
    _slave = slaveName ? open(slaveName, O_RDWR | O_NOCTTY) : -1;
    if (_slave < 0)
        return Fail("cannot open the pty slave for", devicePath);
    // Raw from the start: bytes sent before the program sets the line up must not be echoed.
    termios tio {};
    tcgetattr(_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(_slave, TCSANOW, &tio);
    if (mount(slaveName, devicePath.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return Fail("cannot bind the pty slave over", devicePath);
    _bound = devicePath;
    return true;
}

void PtyLine::Unbind()
{
    if (!_bound.empty())
        umount2(_bound.c_str(), MNT_DETACH);
    _bound.clear();
    if (_slave >= 0)
        close(_slave);
    if (_master >= 0)
        close(_master);
    _slave = -1;
    _master = -1;
}

ssize_t PtyLine::Write(const void* bytes, size_t length)
{
    return write(_master, bytes, length);
}

ssize_t PtyLine::Read(void* bytes, size_t size, int timeoutMs)
{
    pollfd pfd { _master, POLLIN, 0 };
    int ready = poll(&pfd, 1, timeoutMs);
    if (ready <= 0)
        return ready;
    return read(_master, bytes, size);
}

} // namespace board
