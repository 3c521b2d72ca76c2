// The date and time window: the field steps at the ends of months, years and
// the day, and what SAVE leaves in the system clock and the real-time clock.

#include "tests/menus/MenuFixture.h"

#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/menus/CDate.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace menutest {
namespace {

using vk::CDate;

class DateTime : public MenuTest {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC0", 1);
        tzset();
        MenuTest::SetUp();
        Make<CDate>(WND::DATE_TIME);
        Open(WND::MAINMENU, WND::LIVEVIEW);
    }

    // Sets the clock to this local time and opens the window.
    void OpenAt(int year, int month, int day, int hour, int minute)
    {
        std::tm local {};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        ASSERT_EQ(vk::SystemClock::Set(timeval { timegm(&local), 0 }), 0);
        Open(WND::DATE_TIME, WND::SYSTEM);
    }

    // Picks a field and steps it `steps` times (negative: down).
    void Step(CDate::SETTIME_BUTTON_ID field, int steps)
    {
        Choose(field);
        for (int i = 0; i < std::abs(steps); ++i)
            Choose(steps < 0 ? CDate::VALUE_DOWN_BUTTON : CDate::VALUE_UP_BUTTON);
    }

    obj_button* Button(int id)
    {
        return static_cast<obj_button*>(vk::Resource::Inst()->GetStateComponent(WND::DATE_TIME, id));
    }
    std::string Text(int id) { return Button(id)->text_ptr; }
    std::string Date() { return Text(CDate::YEAR) + "-" + Text(CDate::MONTH) + "-" + Text(CDate::DAY); }

    // The system clock's local time and the real-time clock's, to the minute.
    std::string Clocks()
    {
        std::tm local = vk::LocalCalendarNow();
        vk::Rtc::RtcTime rtc {};
        if (!Singleton<vk::Rtc>::Inst()->GetTime(rtc))
            return "the RTC can not be read";
        char text[64];
        std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d, RTC %02d-%02d-%02d %02d:%02d", local.tm_year,
            local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, rtc.year, rtc.mon, rtc.date, rtc.hour, rtc.min);
        return text;
    }
};

TEST_F(DateTime, FieldsStepWithinTheCalendar)
{
    struct Case {
        const char* name;
        int year, month, day, hour;
        CDate::SETTIME_BUTTON_ID field;
        int steps;
        const char* date;
        const char* hourText;
    } const cases[] = {
        { "31 January, month up", 2023, 1, 31, 9, CDate::MONTH, 1, "2023-02-28", "09" },
        { "31 January of a leap year, month up", 2024, 1, 31, 9, CDate::MONTH, 1, "2024-02-29", "09" },
        { "29 February, year up", 2024, 2, 29, 9, CDate::YEAR, 1, "2025-02-28", "09" },
        { "first year, down", 2021, 5, 10, 9, CDate::YEAR, -1, "2021-05-10", "09" },
        { "last year, up", 2050, 5, 10, 9, CDate::YEAR, 1, "2050-05-10", "09" },
        // A dead clock far outside the menu's years still steps into them.
        { "a dead clock's 2000, up", 2000, 1, 1, 9, CDate::YEAR, 1, "2021-01-01", "09" },
        { "a dead clock's 2000, down", 2000, 2, 29, 9, CDate::YEAR, -1, "2021-02-28", "09" },
        { "a clock in 2060, down", 2060, 5, 10, 9, CDate::YEAR, -1, "2050-05-10", "09" },
        { "December, up", 2030, 12, 5, 9, CDate::MONTH, 1, "2030-01-05", "09" },
        { "first day, down", 2030, 4, 1, 9, CDate::DAY, -1, "2030-04-30", "09" },
        { "last day, up", 2030, 4, 30, 9, CDate::DAY, 1, "2030-04-01", "09" },
        { "11 PM, up", 2030, 4, 30, 23, CDate::HOUR, 1, "2030-04-30", "00" },
        { "0 AM, down", 2030, 4, 30, 0, CDate::HOUR, -1, "2030-04-30", "11" },
    };
    for (const Case& c : cases) {
        OpenAt(c.year, c.month, c.day, c.hour, 30);
        EXPECT_TRUE(Button(CDate::YEAR)->IsHightlight()) << c.name << ": the year is picked first";
        Step(c.field, c.steps);
        EXPECT_EQ(Date(), c.date) << c.name;
        EXPECT_EQ(Text(CDate::HOUR), c.hourText) << c.name;
        EXPECT_EQ(Button(CDate::AMPM)->text_id, c.hour >= 12 ? STR::PM : STR::AM) << c.name << ": AM/PM stays";
        EXPECT_TRUE(Button(c.field)->IsHightlight()) << c.name;
    }
}

TEST_F(DateTime, OffsetWrapsAndMenuKeyAndReturnDropTheEdits)
{
    pref->SetTimezone(12);
    OpenAt(2030, 6, 1, 10, 0);
    Step(CDate::GMT, 1);
    EXPECT_EQ(Text(CDate::GMT), "-12");
    Step(CDate::GMT, -1);
    EXPECT_EQ(Text(CDate::GMT), "+12");
    Step(CDate::GMT, -3);
    Key(PARAM1::KEY_MENU);
    EXPECT_EQ(dvr->CurrentWindow(), WND::DATE_TIME) << "MENU does nothing here";
    EXPECT_EQ(Leads(CDate::MENU_RETURN), WND::SYSTEM);
    EXPECT_EQ(pref->GetTimezone(), 12);
}

// The system clock keeps the local time, the real-time clock GMT.
TEST_F(DateTime, SaveSetsBothClocksAndTheOffset)
{
    ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->Init());
    pref->SetTimezone(9);
    OpenAt(2030, 6, 1, 13, 45); // 01 PM
    Step(CDate::HOUR, -1);     // 00 PM: noon
    Step(CDate::AMPM, 1);
    Step(CDate::AMPM, 1);
    Step(CDate::MINUTE, 2);    // 47
    Step(CDate::GMT, -2);      // +7
    EXPECT_EQ(Leads(CDate::SAVE), WND::SYSTEM);
    EXPECT_EQ(pref->GetTimezone(), 7);
    EXPECT_EQ(Clocks(), "2030-06-01 12:47, RTC 30-06-01 05:47");
}

// A clock that cannot be set is said so in a box, and the edits wait for
// another SAVE; the clock keeps its time meanwhile.
TEST_F(DateTime, ADeadClockIsSetFromTheMenusFirstYearAndAFailedSetIsShown)
{
    ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->Init());
    pref->SetTimezone(0);
    pref->SetLanguage(vk::SYSTEM::LANGUAGE::ENGLISH);
    OpenAt(2000, 1, 1, 0, 5);
    EXPECT_EQ(Text(CDate::YEAR), "2000");
    Step(CDate::YEAR, 1);
    EXPECT_EQ(Date(), "2021-01-01");

    // The host keeps the set time in this file: a folder in its place refuses it.
    std::string offset = std::string(std::getenv("DASHREC_HOST_DIR")) + "/clock_offset";
    ASSERT_EQ(runmode::Shell("rm -f " + offset + " && mkdir " + offset), 0);
    Choose(CDate::SAVE);
    ASSERT_TRUE(Reached(WND::MESSAGE_BOX));
    EXPECT_EQ(static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::MESSAGE_BOX, 1000))->text_id,
        STR::CLOCK_NOT_SET);
    EXPECT_EQ(vk::LocalCalendarNow().tm_year, 2000);
    PumpFor(50);
    Screenshot("date_time_not_set", false);
    Singleton<vk::UITimer>::Inst()->Kill(WND::MESSAGE_BOX, TIMER::CLOSE_PAGE);
    Post(WND::MESSAGE_BOX, WM::TIMER, TIMER::CLOSE_PAGE);
    ASSERT_TRUE(Reached(WND::DATE_TIME));
    EXPECT_EQ(Date(), "2021-01-01") << "the edits stay";

    ASSERT_EQ(runmode::Shell("rmdir " + offset), 0);
    EXPECT_EQ(Leads(CDate::SAVE), WND::SYSTEM);
    EXPECT_EQ(Clocks(), "2021-01-01 00:05, RTC 21-01-01 00:05");
}

TEST_F(DateTime, Screens)
{
    pref->SetLanguage(vk::SYSTEM::LANGUAGE::ENGLISH);
    OpenAt(2030, 6, 1, 13, 45);
    Choose(CDate::DAY);
    Choose(CDate::VALUE_UP_BUTTON);
    Screenshot("date_time");
}

} // namespace
} // namespace menutest
