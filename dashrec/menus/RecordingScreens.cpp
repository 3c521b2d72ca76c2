#include "dashrec/menus/RecordingScreens.h"

#include "dashrec/core/Pref.h"

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

const SettingsWindow::Link RECORDING_LINKS[] = {
    { STR::NORMAL_REC, WND::NORMAL_RECORDING, nullptr },
    { STR::PARKING_REC, WND::PARKING, nullptr },
    { STR::MEMORY_MGT, WND::MEMORY, nullptr },
};

} // namespace

CMenuRecording::CMenuRecording(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuRecording",
          { STR::VERSION, STR::MENU_RETURN, STR::NORMAL_REC, STR::PARKING_REC, STR::MEMORY_MGT })
{
    SetLinks(RECORDING_LINKS);
}

CNormalGsensor::CNormalGsensor(WND::ID wnd)
    : OptionScreen(wnd, "CNormalGsensor",
          { "G-sensor", { STR::OFF, STR::LEVEL_1, STR::LEVEL_2, STR::LEVEL_3, STR::LEVEL_4, STR::LEVEL_5 },
              [] { return static_cast<int>(Prefs()->GetNormalGsensorSensitivity()); },
              [](int level) { Prefs()->SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE(level)); }, 0 })
{
}

CVideoSize::CVideoSize(WND::ID wnd)
    : OptionScreen(wnd, "CVideoSize",
          { "Video Size", { STR::WQHD, STR::FHD, STR::HD },
              [] { return static_cast<int>(Prefs()->GetTempVideoSize()); },
              [](int size) { Prefs()->SetTempVideoSize(RECORDING::VIDEO_SIZE::VALUE(size)); }, 0 })
{
}

CEV::CEV(WND::ID wnd)
    : OptionScreen(wnd, "CEV",
          { "ev", { STR::EV_1, STR::EV_2, STR::EV_3 }, [] { return static_cast<int>(Prefs()->GetEV()); },
              [](int ev) {
                  Prefs()->SetEV(RECORDING::EV::VALUE(ev));
                  Pref::SetBrightness();
              },
              0 })
{
}

CNightVision::CNightVision(WND::ID wnd)
    : OptionScreen(wnd, "CNightVision",
          { "nv", { STR::OFF, STR::ON }, [] { return static_cast<int>(Prefs()->GetTempNightvision()); },
              [](int on) { Prefs()->SetTempNightvision(RECORDING::NIGHTVISION::VALUE(on)); }, 0 })
{
}

CLongtime::CLongtime(WND::ID wnd)
    : OptionScreen(wnd, "CLongtime",
          { "longtime", { STR::OFF, STR::ON }, [] { return static_cast<int>(Prefs()->GetTempLongTimeRecord()); },
              [](int on) { Prefs()->SetTempLongTimeRecord(RECORDING::LONGTIME_RECORD::VALUE(on)); }, 0 })
{
}

} // namespace vk
