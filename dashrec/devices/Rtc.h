#pragma once
// The ISL1208 real-time clock on "/dev/i2c-2": calendar time across power
// cycles. The chip keeps BCD digits and a 12-hour clock with a PM flag; here
// the time is plain numbers with the hour from 0 to 23.

#include "dashrec/core/Singleton.h"

#include <ctime>
#include <string>

namespace vk {

class Rtc : public Singleton<Rtc> {
public:
    struct RtcTime {
        int sec;
        int min;
        int hour; // 0 to 23
        int date; // 1 to 31
        int mon; // 1 to 12
        int year; // years after 2000
        int dayofweek; // as the chip keeps it
    };

    bool Init();
    bool Open();
    bool Read(int reg, int& value);
    bool Write(int reg, int value);
    // The time, or the last one known and false when the chip cannot be read.
    bool GetTime(RtcTime& t);
    bool SetTime(RtcTime t);
    // A calendar time the chip's digits can hold: 2001 to 2050.
    static bool CanHold(const RtcTime& t);
    // A time the chip can hold but that is no date (its first power-up).
    static bool IsNonsense(const RtcTime& t);
    // What a chip with a nonsense time is set to: 2021-01-01 00:00:00.
    static RtcTime ResetTime(int dayofweek);
    // The time read as local calendar time, in seconds since the epoch.
    static time_t ToLocalSeconds(const RtcTime& t);
    static int BCD2INT(int v);
    static int INT2BCD(int v);

private:
    friend class Singleton<Rtc>;
    Rtc() = default;

    bool ReadTime(RtcTime& t);
    bool WriteTime(const RtcTime& t);

    int mFd = -1;
    RtcTime prev { 0, 0, 0, 1, 1, 19, 0 };
    const std::string I2C = "/dev/i2c-2";
};

} // namespace vk
