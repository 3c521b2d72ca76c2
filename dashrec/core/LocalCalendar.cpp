#include "dashrec/core/SystemClock.h"

namespace vk {

std::tm LocalCalendarNow()
{
    time_t seconds = SystemClock::Now().tv_sec;
    std::tm local {};
    localtime_r(&seconds, &local);
    local.tm_year += 1900;
    local.tm_mon += 1;
    return local;
}

} // namespace vk
