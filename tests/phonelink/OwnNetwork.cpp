// Each test process runs in a network namespace of its own with only loopback
// up, so the device's fixed ports are free in every case however ctest
// schedules the cases. Done before main, while the process has one thread, so
// that every thread and child process shares it.

#include <linux/sockios.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool EnterOwnNetwork()
{
    if (unshare(CLONE_NEWNET) != 0) {
        perror("unshare(CLONE_NEWNET)");
        return false;
    }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    if (!up)
        perror("loopback up");
    return up;
}

const bool gOwnNetwork = EnterOwnNetwork();

} // namespace
