#pragma once
// Option pages for the parking values that the parking menu steps in place,
// and the small menu of the cut-off values with their current settings.
// The run mode registers them but no menu item opens them.

#include "dashrec/menus/OptionScreen.h"

namespace vk {

class CParkingMode : public OptionScreen {
public:
    explicit CParkingMode(WND::ID wnd);
};

class CParkingGsensor : public OptionScreen {
public:
    explicit CParkingGsensor(WND::ID wnd);
};

class CParkingMotion : public OptionScreen {
public:
    explicit CParkingMotion(WND::ID wnd);
};

// A truck's battery is twice a car's: the same stored step reads twice the voltage.
class CVoltage : public OptionScreen {
public:
    explicit CVoltage(WND::ID wnd);

protected:
    STR::ID TextOf(int value) override;
};

class CTemperature : public OptionScreen {
public:
    explicit CTemperature(WND::ID wnd);
};

// The same five timers, 3 to 48 hours, as the parking menu steps through.
class COffTimer : public OptionScreen {
public:
    explicit COffTimer(WND::ID wnd);
};

class CMenuManage : public SettingsWindow {
public:
    explicit CMenuManage(WND::ID wnd);

    void UpdateSubText() override;
};

} // namespace vk
