#include "dashrec/devices/Rtc.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/I2c.h"

#include <cstdio>

namespace vk {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

const int ADDRESS = 0x6F;
enum Register { SECONDS = 0, MINUTES, HOURS, DATE, MONTH, YEAR, DAY_OF_WEEK, STATUS };
// Status values: writing the time allowed, and the normal running state.
const int STATUS_WRITE = 0x11;
const int STATUS_RUN = 0x01;
const int HOUR_PM = 0x20;
const int HOUR_DIGITS = 0x1F;

const Rtc::RtcTime FIRST_TIME = { 0, 0, 0, 1, 1, 19, 0 };
const int LATEST_YEAR = 50;

int ToHour24(int reg)
{
    int hour = Rtc::BCD2INT(reg & HOUR_DIGITS) % 12;
    return (reg & HOUR_PM) != 0 ? hour + 12 : hour;
}

int ToHourRegister(int hour)
{
    int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return Rtc::INT2BCD(hour12) | (hour >= 12 ? HOUR_PM : 0);
}

bool IsStopped(const Rtc::RtcTime& t)
{
    return t.year == 0 && t.mon == 0 && t.date == 0 && t.dayofweek == 0 && t.hour == 0 && t.min == 0 && t.sec == 0;
}

} // namespace

bool Rtc::CanHold(const RtcTime& t)
{
    return t.year > 0 && t.year <= LATEST_YEAR && t.mon >= 1 && t.mon <= 12 && t.date >= 1 && t.date <= 31
        && t.hour >= 0 && t.hour <= 23 && t.min >= 0 && t.min <= 59 && t.sec >= 0 && t.sec <= 59;
}

bool Rtc::IsNonsense(const RtcTime& t)
{
    return t.year == 0 || t.year > 50 || t.mon == 0 || t.date == 0 || t.hour > 23 || t.min > 59 || t.sec > 59;
}

Rtc::RtcTime Rtc::ResetTime(int dayofweek)
{
    return RtcTime { 0, 0, 0, 1, 1, 21, dayofweek };
}

time_t Rtc::ToLocalSeconds(const RtcTime& t)
{
    std::tm tm {};
    tm.tm_year = t.year + 100;
    tm.tm_mon = t.mon - 1;
    tm.tm_mday = t.date;
    tm.tm_hour = t.hour;
    tm.tm_min = t.min;
    tm.tm_sec = t.sec;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

int Rtc::BCD2INT(int v)
{
    return (v >> 4) * 10 + (v & 0x0F);
}

int Rtc::INT2BCD(int v)
{
    return ((v / 10) << 4) + v % 10;
}

bool Rtc::Init()
{
    Lock lock(_mutex);
    prev = FIRST_TIME;
    if (mFd >= 0)
        I2c::Close(mFd);
    mFd = -1;
    return Open();
}

bool Rtc::Open()
{
    mFd = I2c::Open(I2C);
    if (mFd < 0) {
        Singleton<SDDebug>::Inst()->Print("[Rtc - ISL1208] %s can't be opened\n", I2C.c_str());
        return false;
    }
    if (!I2c::BindAddress(mFd, ADDRESS)) {
        std::printf("[Rtc - ISL1208] WriteDataByte() - Unable I2C_SLAVE 0x%02X\n", ADDRESS);
        return false;
    }
    std::printf("[Rtc - ISL1208] Device Bus = %s, file descriptor = %d\n", I2C.c_str(), mFd);
    return true;
}

bool Rtc::Read(int reg, int& value)
{
    unsigned char address = static_cast<unsigned char>(reg);
    if (I2c::Write(mFd, &address, 1) != 1) {
        std::printf("[Rtc - ISL1208] ReadData() - Unable to write address %d\n", reg);
        return false;
    }
    unsigned char data = 0;
    if (I2c::Read(mFd, &data, 1) != 1) {
        std::printf("[Rtc - ISL1208] ReadData() - Unable to read data %d\n", reg);
        return false;
    }
    value = data;
    return true;
}

bool Rtc::Write(int reg, int value)
{
    bool written = false;
    if (mFd < 0) {
        std::printf("[Rtc - ISL1208] Write() - Device is not opened.");
    } else if (!I2c::BindAddress(mFd, ADDRESS)) {
        std::printf("[Rtc - ISL1208] WriteDataByte() - Unable I2C_SLAVE 0x%02X\n", ADDRESS);
    } else {
        unsigned char data[2] = { static_cast<unsigned char>(reg), static_cast<unsigned char>(value) };
        ssize_t count = I2c::Write(mFd, data, sizeof(data));
        written = count == static_cast<ssize_t>(sizeof(data));
        if (!written)
            std::printf("[Rtc - ISL1208] WriteDataByte() - Error : %d Bytes written\n", static_cast<int>(count));
    }
    std::printf("[Rtc - ISL1208] WriteDataByte() - 0x%02X = 0x%02X\n", reg, value);
    return written;
}

bool Rtc::ReadTime(RtcTime& t)
{
    int regs[STATUS] = {};
    if (!Write(STATUS, STATUS_RUN))
        return false;
    for (int reg = SECONDS; reg < STATUS; ++reg) {
        if (!Read(reg, regs[reg]))
            return false;
    }
    t.sec = BCD2INT(regs[SECONDS]);
    t.min = BCD2INT(regs[MINUTES]);
    t.hour = ToHour24(regs[HOURS]);
    t.date = BCD2INT(regs[DATE]);
    t.mon = BCD2INT(regs[MONTH]);
    t.year = BCD2INT(regs[YEAR]);
    t.dayofweek = regs[DAY_OF_WEEK];
    return true;
}

// The GPS thread and the main thread both reach the chip: each register sequence runs whole.
bool Rtc::GetTime(RtcTime& t)
{
    Lock lock(_mutex);
    if (!ReadTime(t)) {
        t = prev;
        std::printf("[Rtc - ISL1208] GetTime failed.");
        return false;
    }
    if (IsStopped(t)) {
        // A clock that lost its power stands still until it is given a second.
        Write(STATUS, STATUS_WRITE);
        Write(SECONDS, 0x01);
        Write(STATUS, STATUS_RUN);
    }
    std::printf("Rtc::GetTime() %d.%d.%d %d:%d:%d\n", t.year, t.mon, t.date, t.hour, t.min, t.sec);
    prev = t;
    std::printf("[Rtc - ISL1208] GetTime OK.");
    return true;
}

bool Rtc::WriteTime(const RtcTime& t)
{
    const int values[] = { INT2BCD(t.sec), INT2BCD(t.min), ToHourRegister(t.hour), INT2BCD(t.date), INT2BCD(t.mon),
        INT2BCD(t.year), t.dayofweek };
    if (!Write(STATUS, STATUS_WRITE))
        return false;
    for (int reg = SECONDS; reg < STATUS; ++reg) {
        if (!Write(reg, values[reg]))
            return false;
    }
    return true;
}

bool Rtc::SetTime(RtcTime t)
{
    Lock lock(_mutex);
    std::printf("Rtc::SetTime() %d.%d.%d %d:%d:%d\n", t.year, t.mon, t.date, t.hour, t.min, t.sec);
    if (!CanHold(t) || !WriteTime(t)) {
        std::printf("[Rtc - ISL1208] SetTime failed.");
        return false;
    }
    prev = t;
    std::printf("[Rtc - ISL1208] SetTime OK.");
    return true;
}

} // namespace vk
