#pragma once
// The engine's monotonic time base. Every reading is one second ahead of the
// time since the clock was made, so it never reads 0; users compare
// differences of readings.

#include <cstdint>
#include <glib.h>

class BmClock {
public:
    static BmClock* Inst();

    uint64_t Sec() const;
    uint64_t Msec() const;
    uint64_t Usec() const;
    uint64_t Nsec() const;

    GTimer* gTimeClock;

private:
    BmClock();
    uint64_t Scaled(double unitsPerSecond) const;
};
