#include "bmworks/BmClock.h"

BmClock* BmClock::Inst()
{
    static BmClock* clock = new BmClock(); // kept for the program's life
    return clock;
}

BmClock::BmClock() : gTimeClock(g_timer_new()) {}

uint64_t BmClock::Scaled(double unitsPerSecond) const
{
    return static_cast<uint64_t>((g_timer_elapsed(gTimeClock, nullptr) + 1.0) * unitsPerSecond);
}

uint64_t BmClock::Sec() const
{
    return Scaled(1.0);
}

uint64_t BmClock::Msec() const
{
    return Scaled(1e3);
}

uint64_t BmClock::Usec() const
{
    return Scaled(1e6);
}

uint64_t BmClock::Nsec() const
{
    return Scaled(1e9);
}
