#include "dashrec/menus/CDate.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/CMainDvr.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace vk {

namespace {

const int GMT_MIN = -12;
const int GMT_MAX = 12;

// Steps `value` by `delta` within first..last, wrapping at both ends.
int Wrap(int value, int delta, int first, int last)
{
    int count = last - first + 1;
    return first + ((value - first + delta) % count + count) % count;
}

} // namespace

CDate::CDate(WND::ID wnd)
    : SettingsWindow(wnd, "CDate",
          { STR::HOME, STR::MENU_RETURN, STR::YEAR, STR::MONTH, STR::DAY, STR::HOUR, STR::MIN, STR::AM, STR::TIMEZONE,
              STR::EMPTY, STR::EMPTY, STR::OK_ENG },
          WATCHES_USB)
{
    Bind(YEAR, _year, "year != nullptr");
    Bind(MONTH, _month, "mon != nullptr");
    Bind(DAY, _day, "day != nullptr");
    Bind(HOUR, _hour, "hour != nullptr");
    Bind(MINUTE, _min, "min != nullptr");
    Bind(GMT, _timezone, "timezone != nullptr");
}

void CDate::Bind(int button, Digit& field, const char* expr)
{
    obj_common* obj = GetStateComponent(_wnd, button);
    if (obj == nullptr || obj->obj_type != obj_common::BUTTON)
        VK_ASSERT_REPORT(expr);
    static_cast<obj_button*>(obj)->text_ptr = field.str;
}

void CDate::Show(Digit& field, const char* format)
{
    std::snprintf(field.str, sizeof(field.str), format, field.digit);
}

void CDate::ShowAmPm()
{
    obj_common* ampm_button = GetStateComponent(_wnd, AMPM);
    if (ampm_button == nullptr || ampm_button->obj_type != obj_common::BUTTON)
        VK_ASSERT_REPORT("ampm_button != nullptr");
    static_cast<obj_button*>(ampm_button)->text_id = _ampm ? STR::PM : STR::AM;
}

void CDate::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log("OnInit, _caller:%d\n", _caller);
    // Back from the box that said the clock could not be set: the edits stay.
    if (msg.param1 == WND::MESSAGE_BOX) {
        Paint();
        return;
    }
    std::tm now = Singleton<SDDebug>::Inst()->GetLocaltime();
    _year.digit = now.tm_year;
    _month.digit = now.tm_mon;
    _day.digit = now.tm_mday;
    _min.digit = now.tm_min;
    _ampm = now.tm_hour >= 12;
    _hour.digit = _ampm ? now.tm_hour - 12 : now.tm_hour;
    Show(_year, "%d");
    Show(_month, "%02d");
    Show(_day, "%02d");
    Show(_hour, "%02d");
    Show(_min, "%02d");
    ShowAmPm();
    timezone = Singleton<Pref>::Inst()->GetTimezone();
    _timezone.digit = timezone;
    Show(_timezone, "%+d");
    Select(YEAR);
}

// The field being edited is the highlighted one.
void CDate::Select(unsigned button)
{
    for (unsigned field = YEAR; field <= GMT; ++field)
        _buttons.vec[field]->ClearHighLight();
    _buttons.vec[button]->SetHighLight();
    selected = button;
    Paint();
}

void CDate::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    unsigned button = _buttons.focused;
    switch (button) {
    case HOME:
        Log("Back to Liveview\n");
        CloseToLiveview();
        break;
    case MENU_RETURN:
        Close(WND::SYSTEM);
        break;
    case VALUE_DOWN_BUTTON:
        Step(-1);
        break;
    case VALUE_UP_BUTTON:
        Step(1);
        break;
    case SAVE:
        Save();
        break;
    default:
        Select(button);
        break;
    }
}

void CDate::Step(int delta)
{
    using Handler = void (CDate::*)(int);
    static const Handler FIELDS[] = { &CDate::OnButtonYear, &CDate::OnButtonMonth, &CDate::OnButtonDay,
        &CDate::OnButtonHour, &CDate::OnButtonMin, &CDate::OnButtonAmPm, &CDate::OnButtonGmt };
    if (selected < YEAR || selected > GMT)
        return;
    (this->*FIELDS[selected - YEAR])(delta);
    Paint();
}

// A day beyond the end of the month becomes its last day.
void CDate::CutDay()
{
    int last = GetLastDay(_year.digit, _month.digit);
    if (_day.digit > last) {
        _day.digit = last;
        Show(_day, "%02d");
    }
}

// Clamped into the menu's years: a clock far outside them (a dead clock chip
// and no GPS fix) steps to the nearest.
void CDate::OnButtonYear(int delta)
{
    _year.digit = std::clamp(_year.digit + delta, BASE_YEAR, LAST_YEAR);
    Show(_year, "%d");
    CutDay();
}

void CDate::OnButtonMonth(int delta)
{
    _month.digit = Wrap(_month.digit, delta, 1, 12);
    Show(_month, "%02d");
    CutDay();
}

void CDate::OnButtonDay(int delta)
{
    _day.digit = Wrap(_day.digit, delta, 1, GetLastDay(_year.digit, _month.digit));
    Show(_day, "%02d");
}

void CDate::OnButtonHour(int delta)
{
    _hour.digit = Wrap(_hour.digit, delta, 0, 11);
    Show(_hour, "%02d");
}

void CDate::OnButtonMin(int delta)
{
    _min.digit = Wrap(_min.digit, delta, 0, 59);
    Show(_min, "%02d");
}

void CDate::OnButtonAmPm(int)
{
    _ampm = !_ampm;
    ShowAmPm();
}

void CDate::OnButtonGmt(int delta)
{
    timezone = Wrap(timezone, delta, GMT_MIN, GMT_MAX);
    _timezone.digit = timezone;
    Show(_timezone, "%+d");
}

bool CDate::IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int CDate::GetLastDay(int year, int month)
{
    VK_ASSERT(month >= 1 && month <= 12);
    return _days[month] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// The system clock keeps local time, the real-time clock GMT.
void CDate::Save()
{
    std::tm local {};
    local.tm_year = _year.digit - 1900;
    local.tm_mon = _month.digit - 1;
    local.tm_mday = _day.digit;
    local.tm_hour = _ampm ? _hour.digit + 12 : _hour.digit;
    local.tm_min = _min.digit;
    local.tm_isdst = 0; // the device keeps no daylight saving
    Pref* pref = Singleton<Pref>::Inst();
    pref->SetTimezone(timezone);
    time_t t = std::mktime(&local);
    bool set = SystemClock::Set(timeval { t, 0 }) == 0;
    time_t gmt = t - 3600 * pref->GetTimezone();
    std::tm g {};
    localtime_r(&gmt, &g);
    SDDebug* log = Singleton<SDDebug>::Inst();
    log->Print("=================================================\n");
    log->Print("User SetTime::%d/%02d/%02d-%02d:%02d:%02d, timezone:%d\n", g.tm_year + 1900, g.tm_mon + 1, g.tm_mday,
        g.tm_hour, g.tm_min, g.tm_sec, pref->GetTimezone());
    log->Print("=================================================\n");
    set = Singleton<Rtc>::Inst()->SetTime(
              Rtc::RtcTime { g.tm_sec, g.tm_min, g.tm_hour, g.tm_mday, g.tm_mon + 1, g.tm_year - 100, g.tm_wday })
        && set;
    if (set) {
        Close(WND::SYSTEM);
        return;
    }
    log->Print("[CDate]the clock could not be set\n");
    Singleton<CMainDvr>::Inst()->SetMessageBox(STR::CLOCK_NOT_SET, _wnd);
}

} // namespace vk
