// The RMC sentence: the fix, and the one-time setting of the clocks from the
// first consistent run of GPS time stamps.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/Parser.h"
#include "dashrec/devices/Rtc.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vk {

namespace {

enum RmcField { TIME = 1, STATUS = 2, LATITUDE = 3, NS = 4, LONGITUDE = 5, EW = 6, SPEED = 7, DATE = 9 };

const double KNOTS_TO_KMH = 1.852;
// Beyond this the field is noise, and converting it to int would overflow.
const double MAX_SPEED_KMH = 10000.0;
const int SET_CLOCK_SETTLE_MS = 100;
const int FIX_LOST_AFTER_S = 3;
const int DATE_ERROR_GRACE_S = 4;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

bool Empty(const char* field)
{
    return field[0] == '\0';
}

bool Digits(const char* text, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

// hhmmss with an optional fraction of a second.
bool IsTimeField(const char* field)
{
    if (std::strlen(field) < 6 || !Digits(field, 6))
        return false;
    if (field[6] == '\0')
        return true;
    return field[6] == '.' && Digits(field + 7, std::strlen(field + 7));
}

bool IsDateField(const char* field)
{
    return std::strlen(field) == 6 && Digits(field, 6);
}

int TwoDigits(const char* text)
{
    return (text[0] - '0') * 10 + (text[1] - '0');
}

int DaysInMonth(int month, int twoDigitYear)
{
    static const int DAYS[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && twoDigitYear % 4 == 0 ? 29 : DAYS[month - 1];
}

// A zero or impossible calendar stamp, which must never reach the clocks.
bool IsStampSane(const gps_lock_data_t& fix)
{
    if (fix.year == 0 || fix.month < 1 || fix.month > 12 || fix.day < 1)
        return false;
    if (fix.day > DaysInMonth(fix.month, fix.year))
        return false;
    return fix.hour < 24 && fix.min < 60 && fix.sec <= 60;
}

long long MicrosSince(const timeval& then)
{
    timeval now = SystemClock::Now();
    return (static_cast<long long>(now.tv_sec) - then.tv_sec) * 1000000 + (now.tv_usec - then.tv_usec);
}

void PostFix(int available)
{
    UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::GPS, available, 0);
}

void LoseFix(gps_data_t& gps)
{
    gps.available = false;
    gps.speed = 0;
}

// ddmm.mmmm or dddmm.mmmm; not a number when the text is none.
double Degrees(const char* value, bool negative)
{
    double v = 0.0;
    if (std::sscanf(value, "%lf", &v) != 1 || !std::isfinite(v))
        return NAN;
    double degrees = std::trunc(v / 100);
    double minutes = (v / 100 - degrees) * 100;
    double result = degrees + minutes / 60;
    return negative ? -result : result;
}

bool InRange(double degrees, double limit)
{
    return std::isfinite(degrees) && std::fabs(degrees) <= limit;
}

time_t StampSeconds(const gps_lock_data_t& fix)
{
    std::tm calendar {};
    calendar.tm_year = fix.year + 100;
    calendar.tm_mon = fix.month - 1;
    calendar.tm_mday = fix.day;
    calendar.tm_hour = fix.hour;
    calendar.tm_min = fix.min;
    calendar.tm_sec = fix.sec;
    return timegm(&calendar);
}

// The stamp as the clocks keep it: local time.
std::tm LocalCalendar(time_t utc)
{
    time_t local = utc + 3600 * static_cast<time_t>(Singleton<Pref>::Inst()->GetTimezone());
    std::tm c {};
    gmtime_r(&local, &c);
    return c;
}

Rtc::RtcTime RtcTimeOf(const std::tm& c)
{
    return Rtc::RtcTime { c.tm_sec, c.tm_min, c.tm_hour, c.tm_mday, c.tm_mon + 1, c.tm_year + 1900 - 2000, c.tm_wday };
}

void LogStamp(const char* format, time_t t)
{
    std::tm c {};
    gmtime_r(&t, &c);
    Log()->Print(format, c.tm_year, c.tm_mon, c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec);
}

} // namespace

ProcessRMC::ProcessRMC()
    : Parser(GPS::RMC, 10)
{
}

int ProcessRMC::GetHour(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field);
}

int ProcessRMC::GetMinute(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field + 2);
}

int ProcessRMC::GetSecond(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field + 4);
}

int ProcessRMC::GetDay(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field);
}

int ProcessRMC::GetMonth(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field + 2);
}

int ProcessRMC::GetYear(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    return TwoDigits(field + 4);
}

double ProcessRMC::GetLatitude(const char* value, const char* dir)
{
    VK_ASSERT(strlen(value) > 0 && strlen(dir) > 0);
    return Degrees(value, std::strcmp(dir, "S") == 0);
}

double ProcessRMC::GetLongitude(const char* value, const char* dir)
{
    VK_ASSERT(strlen(value) > 0 && strlen(dir) > 0);
    return Degrees(value, std::strcmp(dir, "W") == 0);
}

int ProcessRMC::GetSpeed(const char* field)
{
    VK_ASSERT(strlen(field) > 0);
    double knots = 0.0;
    if (std::sscanf(field, "%lf", &knots) != 1)
        return -1;
    double kmh = knots * KNOTS_TO_KMH;
    if (!(kmh >= 0.0 && kmh < MAX_SPEED_KMH))
        return -1;
    return static_cast<int>(kmh);
}

void ProcessRMC::Process(gps_data_t& gps, FIELDS& message)
{
    std::vector<char*>& f = message.fields;
    if (f.size() < _minNumberOfField)
        return;
    const char* status = f[STATUS];
    if (std::strcmp(status, "A") != 0 && std::strcmp(status, "V") != 0) {
        Log()->Print("------------------------------------------------\n");
        Log()->Print("------------------- RMC ERROR ------------------\n");
        Log()->Print("------------------------------------------------\n");
        return;
    }
    if (status[0] == 'V') {
        if (gps.available && MicrosSince(gps.lastLockTime) / 1000000 > FIX_LOST_AFTER_S)
            LoseFix(gps);
        PostFix(0);
        return;
    }
    if (!StoreFix(gps, message))
        return;
    if (!_timeset && CanSetClock(gps) && !CollectTime(gps))
        return;
    gps.lastLockTime = SystemClock::Now();
    PostFix(1);
}

bool ProcessRMC::StoreDate(gps_data_t& gps, const char* time, const char* date)
{
    // A stamp that is not all digits never reaches the clocks.
    if (!IsTimeField(time) || !IsDateField(date)) {
        Log()->Print("[ProcessRMC]UTC Date error\n");
        return false;
    }
    gps.hour = GetHour(time);
    gps.min = GetMinute(time);
    gps.sec = GetSecond(time);
    gps.year = GetYear(date);
    gps.month = GetMonth(date);
    gps.day = GetDay(date);
    if (IsStampSane(gps))
        return true;
    if (MicrosSince(gps.lastLockTime) < DATE_ERROR_GRACE_S * 1000000LL)
        return false;
    LoseFix(gps);
    PostFix(0);
    Log()->Print("[ProcessRMC]============Error Date============\n");
    return false;
}

bool ProcessRMC::StoreFix(gps_data_t& gps, FIELDS& message)
{
    std::vector<char*>& f = message.fields;
    if (!StoreDate(gps, f[TIME], f[DATE]))
        return false;
    double longitude = Empty(f[LONGITUDE]) || Empty(f[EW]) ? NAN : GetLongitude(f[LONGITUDE], f[EW]);
    if (!InRange(longitude, 180.0)) {
        Log()->Print("[ProcessRMC]Longitude error\n");
        return false;
    }
    gps.longitude = longitude;
    double latitude = Empty(f[LATITUDE]) || Empty(f[NS]) ? NAN : GetLatitude(f[LATITUDE], f[NS]);
    if (!InRange(latitude, 90.0)) {
        Log()->Print("[ProcessRMC]Latitude error\n");
        return false;
    }
    gps.latitude = latitude;
    int speed = Empty(f[SPEED]) ? -1 : GetSpeed(f[SPEED]);
    if (speed < 0) {
        Log()->Print("[ProcessRMC]Speed error\n");
        return false;
    }
    gps.speed = speed;
    gps.available = true;
    return true;
}

// A module with the week-number rollover fault dates its fixes in 1999 ("99"),
// which would be read as 2099: such a date leaves the clocks alone, while
// the fix itself is good.
bool ProcessRMC::CanSetClock(const gps_data_t& gps)
{
    time_t t = StampSeconds(gps);
    if (Rtc::CanHold(RtcTimeOf(LocalCalendar(t))))
        return true;
    if (!_outOfRangeLogged)
        LogStamp("[GPS]clock not set, out of range %d/%d/%d - %d:%d:%d\n", t);
    _outOfRangeLogged = true;
    return false;
}

bool ProcessRMC::CollectTime(const gps_data_t& gps)
{
    time_t t = StampSeconds(gps);
    if (_timeList.size() < MAX_TIME_LIST) {
        _timeList.push_back(t);
        LogStamp("[GPS]push %d/%d/%d - %d:%d:%d\n", t);
        return false;
    }
    // The new stamp must agree with the stored ones too: a lone jump must not set the clock.
    time_t oldest = _timeList.front();
    bool consistent = _timeList.back() - oldest <= MAX_TIME_SPAN && t >= oldest && t - oldest <= MAX_TIME_SPAN;
    if (!consistent) {
        _timeList.pop_front();
        _timeList.push_back(t);
        LogStamp("[GPS]time error, push %d/%d/%d - %d:%d:%d\n", t);
        return false;
    }
    _timeset = true;
    SetClock(t);
    return true;
}

void ProcessRMC::SetClock(time_t t)
{
    int timezone = Singleton<Pref>::Inst()->GetTimezone();
    // The clock and the RTC keep local time; the GPS gives UTC.
    time_t local = t + 3600 * static_cast<time_t>(timezone);
    if (SystemClock::Set(timeval { local, 0 }) != 0)
        Log()->Print("[GPS]settimeofday() error\n");
    Singleton<GPS>::Inst()->SleepUnlocked(SET_CLOCK_SETTLE_MS);
    std::tm c = LocalCalendar(t);
    Log()->Print("=========================================\n");
    Log()->Print("GPS SetTime::%d/%02d/%02d-%02d:%02d:%02d, timezone:%d\n", c.tm_year + 1900, c.tm_mon + 1,
        c.tm_mday, c.tm_hour, c.tm_min, c.tm_sec, timezone);
    Log()->Print("=========================================\n");
    if (Singleton<Rtc>::Inst()->SetTime(RtcTimeOf(c)))
        Log()->Print("[GPS]RTC Set successful\n");
    else
        Log()->Print("[GPS]RTC Set failure\n");
}

} // namespace vk
