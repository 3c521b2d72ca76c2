#include "dashrec/core/SystemClock.h"

#include "dashrec/core/SDDebug.h"

namespace vk {

std::time_t WallClockSeconds()
{
    return SystemClock::Now().tv_sec;
}

std::tm LocalCalendarNow()
{
    time_t seconds = WallClockSeconds();
    std::tm local {};
    localtime_r(&seconds, &local);
    local.tm_year += 1900;
    local.tm_mon += 1;
    return local;
}

bool SetClockForwardFromRtc(const char* tag, int gmtOffset, long seconds)
{
    SDDebug* log = Singleton<SDDebug>::Inst();
    timeval now = SystemClock::Now();
    if (now.tv_sec >= seconds) {
        log->Print("[%s]Rtc(%ld) time is slower than sys time(%ld)\n", tag, seconds, static_cast<long>(now.tv_sec));
        return false;
    }
    timeval tv { seconds, 0 };
    SystemClock::Set(tv);
    log->Print("[%s]RTC Set time, gmtOffset:%d\n", tag, gmtOffset);
    return true;
}

} // namespace vk
