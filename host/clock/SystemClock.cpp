// The host never sets the machine's clock: the time the program sets is kept
// as an offset from the real clock, in the sandbox's state folder so that a
// restarted program (and the tests) see the same time.

#include "dashrec/core/SystemClock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<long long> gOffsetUsec { 0 };
std::atomic<bool> gLoaded { false };

// The offset file; empty outside a sandbox, where nothing is kept.
const char* OffsetPath()
{
    static char path[512];
    if (path[0] == '\0') {
        const char* dir = std::getenv("DASHREC_HOST_DIR");
        if (dir == nullptr)
            return "";
        std::snprintf(path, sizeof(path), "%s/clock_offset", dir);
    }
    return path;
}

// Uses only open and read: the crash handler reads the clock too.
void LoadOffset()
{
    if (gLoaded.exchange(true))
        return;
    int fd = open(OffsetPath(), O_RDONLY);
    if (fd < 0)
        return;
    char text[32] = {};
    if (read(fd, text, sizeof(text) - 1) > 0)
        gOffsetUsec = std::strtoll(text, nullptr, 10);
    close(fd);
}

long long Micros(const timeval& tv)
{
    return static_cast<long long>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

} // namespace

namespace vk::SystemClock {

timeval Now()
{
    LoadOffset();
    timeval real {};
    gettimeofday(&real, nullptr);
    long long now = Micros(real) + gOffsetUsec;
    return timeval { static_cast<time_t>(now / 1000000), static_cast<suseconds_t>(now % 1000000) };
}

int Set(const timeval& tv)
{
    LoadOffset();
    timeval real {};
    gettimeofday(&real, nullptr);
    long long offset = Micros(tv) - Micros(real);
    if (OffsetPath()[0] == '\0') {
        gOffsetUsec = offset;
        return 0;
    }
    // A clock that cannot be kept is not set, as the board's refuses a time it
    // cannot take: a test makes the file unwritable to see that answer.
    FILE* file = std::fopen(OffsetPath(), "w");
    if (file == nullptr)
        return -1;
    bool written = std::fprintf(file, "%lld\n", offset) > 0;
    if (std::fclose(file) != 0 || !written)
        return -1;
    gOffsetUsec = offset;
    return 0;
}

} // namespace vk::SystemClock
