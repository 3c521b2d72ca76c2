#include "dashrec/menus/CMenuAdas.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

const SettingsWindow::Link LINKS[] = {
    { STR::ADAS_CALIBRATION, WND::ADAS_CALIBRATION, "[CMenuAdas]ADAS_CALIBRATION selected\n" },
};

std::vector<SettingsWindow::Value> Values()
{
    return {
        { STR::LDWS_MODE, "[CMenuAdas]LDWS_MODE selected\n", 2,
            [] { return Prefs()->IsLdwsModeOn() ? 1 : 0; },
            [](int on) { on ? Prefs()->SetLdwsModeOn() : Prefs()->SetLdwsModeOff(); },
            { "ldws_off_icon.png", "ldws_on_icon.png" },
            "0 && \"[CMenuAdas]Invalid LDWS_MODE Value\\n\"" },
        { STR::FCWS_MODE, "[CMenuAdas]FCWS_MODE selected\n", 2,
            [] { return Prefs()->IsFcwsModeOn() ? 1 : 0; },
            [](int on) { on ? Prefs()->SetFcwsModeOn() : Prefs()->SetFcwsModeOff(); },
            { "fcws_off_icon.png", "fcws_on_icon.png" },
            "0 && \"[CMenuAdas]Invalid FCWS_MODE Value\\n\"" },
        { STR::SAFETY, "[CMenuAdas]SAFETY selected\n", 2,
            [] { return Prefs()->IsSafetyDrivingOn() ? 1 : 0; },
            [](int on) { on ? Prefs()->SetSafetyDrivingOn() : Prefs()->SetSafetyDrivingOff(); },
            { "ongps_off_normal.png", "ongps_on_normal.png" },
            "0 && \"[CMenuAdas]Invalid SAFETY Value\\n\"" },
    };
}

} // namespace

CMenuAdas::CMenuAdas(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuAdas",
          { STR::HOME, STR::MENU_RETURN, STR::LDWS_MODE, STR::FCWS_MODE, STR::ADAS_CALIBRATION, STR::SAFETY },
          VERSION_LINE | WATCHES_USB)
{
    SetLinks(LINKS);
    SetValues(Values());
}

void CAdasCalibration::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log("OnInit, _caller:%d\n", _caller);
    BmWorks* engine = BmWorks::Inst();
    engine->RunVideoOut(Front);
    engine->SetVideoOutConfig(VocFront);
    BmVideo::SetVisible(true);
    Paint();
}

void CAdasCalibration::OnClose(ipc_msg_t& msg)
{
    SettingsWindow::OnClose(msg);
    BmWorks::Inst()->PauseVideoOut(Front);
    BmVideo::SetVisible(false);
}

bool CAdasCalibration::OnItem(STR::ID item)
{
    if (item != STR::OK_ENG)
        return false;
    PostMenuKey();
    return true;
}

CLdwsMode::CLdwsMode(WND::ID wnd)
    : OptionScreen(wnd, "CLdwsMode",
          { "ldws", { STR::OFF, STR::ON }, [] { return Prefs()->IsLdwsModeOn() ? 1 : 0; },
              [](int on) { on ? Prefs()->SetLdwsModeOn() : Prefs()->SetLdwsModeOff(); }, 0 })
{
}

CFcwsMode::CFcwsMode(WND::ID wnd)
    : OptionScreen(wnd, "CFcwsMode",
          { "fcws", { STR::OFF, STR::ON }, [] { return Prefs()->IsFcwsModeOn() ? 1 : 0; },
              [](int on) { on ? Prefs()->SetFcwsModeOn() : Prefs()->SetFcwsModeOff(); }, 0 })
{
}

} // namespace vk
