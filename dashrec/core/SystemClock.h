#pragma once
// The wall clock of the device: read by every time stamp, set by the GPS, the
// phone app and the date menu. Everything reads and sets it here, so that the
// clock the program sets is the clock it reads.

#include <ctime>
#include <sys/time.h>

namespace vk::SystemClock {

timeval Now();
// 0 on success, -1 when the clock could not be set.
int Set(const timeval& tv);

} // namespace vk::SystemClock

namespace vk {
// The wall clock in whole seconds, as the media engine's overlay takes it.
std::time_t WallClockSeconds();
// The wall clock as local calendar time, with the full year and the month counted from 1.
std::tm LocalCalendarNow();
// Sets the wall clock to the RTC's `seconds` when that is later; the clock is
// never moved back. Logged under `tag` with the offset used. True when set.
bool SetClockForwardFromRtc(const char* tag, int gmtOffset, long seconds);
} // namespace vk
