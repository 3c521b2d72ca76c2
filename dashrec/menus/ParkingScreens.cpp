#include "dashrec/menus/ParkingScreens.h"

#include "dashrec/core/Pref.h"
#include "dashrec/devices/Micom.h"

#include <iterator>

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

const STR::ID CAR_VOLTAGE_TEXT[] = { STR::V11_0, STR::V11_8, STR::V12_0, STR::V12_2, STR::V12_4 };
const STR::ID TRUCK_VOLTAGE_TEXT[] = { STR::V22_0, STR::V23_6, STR::V24_0, STR::V24_4, STR::V24_8 };
const STR::ID TEMPERATURE_TEXT[] = { STR::T60, STR::T70, STR::T75, STR::T80 };
const STR::ID OFF_TIMER_TEXT[] = { STR::H3, STR::H6, STR::H12, STR::H24, STR::H48 };

const SettingsWindow::Link MANAGE_LINKS[] = {
    { STR::VOLTAGE, WND::VOLTAGE, nullptr },
    { STR::TEMPERATURE, WND::TEMPERATURE, nullptr },
    { STR::OFFTIMER, WND::OFFTIMER, nullptr },
};

// The rows of the cut-off menu after VERSION and MENU_RETURN.
enum ManageRow { VOLTAGE_ROW = 2, TEMPERATURE_ROW, OFF_TIMER_ROW };

} // namespace

CParkingMode::CParkingMode(WND::ID wnd)
    : OptionScreen(wnd, "CParkingMode",
          { "mode", { STR::OFF, STR::ON }, [] { return Prefs()->GetTempParkingMode() ? 1 : 0; },
              [](int mode) { Prefs()->SetTempParkingMode(PARKING::MODE::VALUE(mode)); }, 0 })
{
}

CParkingGsensor::CParkingGsensor(WND::ID wnd)
    : OptionScreen(wnd, "CParkingGsensor",
          { "G-sensor", { STR::LEVEL_1, STR::LEVEL_2, STR::LEVEL_3, STR::LEVEL_4, STR::LEVEL_5 },
              [] { return static_cast<int>(Prefs()->GetParkingGsensorSensitivity()); },
              [](int level) { Prefs()->SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE(level)); }, 0 })
{
}

CParkingMotion::CParkingMotion(WND::ID wnd)
    : OptionScreen(wnd, "CParkingMotion",
          { "motion", { STR::LEVEL_2, STR::LEVEL_3, STR::LEVEL_4 },
              [] { return static_cast<int>(Prefs()->GetMotionSensitivity()); },
              [](int level) { Prefs()->SetMotionSensitivity(PARKING::MOTION::VALUE(level)); }, 0 })
{
}

CVoltage::CVoltage(WND::ID wnd)
    : OptionScreen(wnd, "CVoltage",
          { "voltage", { std::begin(CAR_VOLTAGE_TEXT), std::end(CAR_VOLTAGE_TEXT) },
              [] { return static_cast<int>(Prefs()->GetVoltage()); },
              [](int voltage) { Prefs()->SetVoltage(PARKING::VOLTAGE::VALUE(voltage)); }, 0 })
{
}

STR::ID CVoltage::TextOf(int value)
{
    return Singleton<Micom>::Inst()->IsTruck() ? TRUCK_VOLTAGE_TEXT[value] : CAR_VOLTAGE_TEXT[value];
}

CTemperature::CTemperature(WND::ID wnd)
    : OptionScreen(wnd, "CTemperature",
          { "Temperature", { std::begin(TEMPERATURE_TEXT), std::end(TEMPERATURE_TEXT) },
              [] { return static_cast<int>(Prefs()->GetTemperature()); },
              [](int temperature) { Prefs()->SetTemperature(PARKING::TEMPERATURE::VALUE(temperature)); }, 0 })
{
}

COffTimer::COffTimer(WND::ID wnd)
    : OptionScreen(wnd, "COffTimer",
          { "Timer", { std::begin(OFF_TIMER_TEXT), std::end(OFF_TIMER_TEXT) },
              [] { return static_cast<int>(Prefs()->GetOffTimer()); },
              [](int timer) { Prefs()->SetOffTimer(PARKING::OFFTIMER::VALUE(timer)); }, 0 })
{
}

CMenuManage::CMenuManage(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuManage", { STR::VERSION, STR::MENU_RETURN, STR::VOLTAGE, STR::TEMPERATURE, STR::OFFTIMER })
{
    SetLinks(MANAGE_LINKS);
}

void CMenuManage::UpdateSubText()
{
    SubText(VOLTAGE_ROW)->text_id = CAR_VOLTAGE_TEXT[Prefs()->GetVoltage()];
    SubText(TEMPERATURE_ROW)->text_id = TEMPERATURE_TEXT[Prefs()->GetTemperature()];
    SubText(OFF_TIMER_ROW)->text_id = OFF_TIMER_TEXT[Prefs()->GetOffTimer()];
}

} // namespace vk
