#pragma once
// Date and time: the user picks a field (year, month, day, hour, minute,
// AM/PM, GMT offset) and steps it down or up; SAVE sets the system clock to
// the local time, the real-time clock to GMT and keeps the offset, or says
// that the clock could not be set and keeps the edits.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CDate : public SettingsWindow {
public:
    static constexpr int BASE_YEAR = 2021;
    static constexpr int LAST_YEAR = 2050;

    enum SETTIME_BUTTON_ID {
        HOME, MENU_RETURN, YEAR, MONTH, DAY, HOUR, MINUTE, AMPM, GMT, VALUE_DOWN_BUTTON, VALUE_UP_BUTTON, SAVE,
        BUTTON_COUNT
    };
    struct Digit {
        int digit;
        char str[32];
    };

    explicit CDate(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

    void OnButtonYear(int delta);
    void OnButtonMonth(int delta);
    void OnButtonDay(int delta);
    void OnButtonHour(int delta);
    void OnButtonMin(int delta);
    void OnButtonAmPm(int delta);
    void OnButtonGmt(int delta);
    static bool IsLeapYear(int year);
    int GetLastDay(int year, int month);

private:
    void Bind(int button, Digit& field, const char* expr);
    void Select(unsigned button);
    void Step(int delta);
    void Show(Digit& field, const char* format);
    void ShowAmPm();
    void CutDay();
    void Save();

    const int _days[13] = { 0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    Digit _year {};
    Digit _month {};
    Digit _day {};
    Digit _hour {};
    Digit _min {};
    Digit _timezone {};
    unsigned selected = YEAR;
    bool _ampm = false; // true: PM
    int timezone = 0;
};

} // namespace vk
