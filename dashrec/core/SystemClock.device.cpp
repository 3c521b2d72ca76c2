#include "dashrec/core/SystemClock.h"

namespace vk::SystemClock {

timeval Now()
{
    timeval tv {};
    gettimeofday(&tv, nullptr);
    return tv;
}

int Set(const timeval& tv)
{
    return settimeofday(&tv, nullptr) == 0 ? 0 : -1;
}

} // namespace vk::SystemClock
