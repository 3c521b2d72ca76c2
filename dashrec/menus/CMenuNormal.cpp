#include "dashrec/menus/CMenuNormal.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

const SettingsWindow::Link LINKS[] = {
    { STR::ADAS, WND::ADAS, "[CMenuNormal]ADAS selected\n" },
};

std::vector<SettingsWindow::Value> Values()
{
    return {
        { STR::NORMAL_GSENSOR, "[CMenuNormal]G_SENSOR selected\n", RECORDING::GSENSOR::MAX,
            [] { return static_cast<int>(Prefs()->GetNormalGsensorSensitivity()); },
            [](int level) { Prefs()->SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE(level)); },
            { "event_off_normal.png", "event_very_insensitive_normal.png", "event_insensitive_normal.png",
                "event_common_normal.png", "event_sensitive_normal.png", "event_very_sensitive_normal.png" },
            "0 && \"[CMenuNormal]Invalid NORMAL_GSENSOR Value\\n\"" },
        // The exposure reaches the cameras at once.
        { STR::EV, "[CMenuNormal]EV selected\n", RECORDING::EV::MAX,
            [] { return static_cast<int>(Prefs()->GetEV()); },
            [](int ev) {
                Prefs()->SetEV(RECORDING::EV::VALUE(ev));
                Pref::SetBrightness();
            },
            { "driving_ev_dark.png", "driving_ev_normal.png", "driving_ev_light.png" },
            "0 && \"[CMenuNormal]Invalid EV Value\\n\"" },
        // Night vision needs a restart: only the pending value changes here.
        { STR::NIGHTVISION, "[CMenuNormal]NIGHTVISION selected\n", RECORDING::NIGHTVISION::MAX,
            [] { return static_cast<int>(Prefs()->GetTempNightvision()); },
            [](int on) { Prefs()->SetTempNightvision(RECORDING::NIGHTVISION::VALUE(on)); },
            { "driving_nightvision_off.png", "driving_nightvision_on.png" },
            "0 && \"[CMenuNormal]Invalid string id\\n\"" },
        // The engine mirrors the rear picture unless the preference asks for it as seen.
        { STR::MIRROR_REAR, "[CMenuNormal]MIRROR_REAR selected\n", RECORDING::MIRROR_REAR::MAX,
            [] { return static_cast<int>(Prefs()->GetMirrorRear()); },
            [](int mirror) {
                BmWorks::Inst()->SetMirrorRear(mirror == RECORDING::MIRROR_REAR::OFF);
                Prefs()->SetMirrorRear(RECORDING::MIRROR_REAR::VALUE(mirror));
            },
            {}, nullptr },
    };
}

} // namespace

CMenuNormal::CMenuNormal(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuNormal",
          { STR::HOME, STR::MENU_RETURN, STR::NORMAL_GSENSOR, STR::EV, STR::NIGHTVISION, STR::MIRROR_REAR, STR::ADAS },
          VERSION_LINE | WATCHES_USB)
{
    SetLinks(LINKS);
    SetValues(Values());
}

} // namespace vk
