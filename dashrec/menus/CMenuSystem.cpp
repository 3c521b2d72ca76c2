#include "dashrec/menus/CMenuSystem.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"

#include <algorithm>

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

const SettingsWindow::Link LINKS[] = {
    { STR::DATE_TIME, WND::DATE_TIME, "[CSettings]DATE_TIME selected\n" },
    { STR::RESET, WND::RESET, "[CMenuSystem]SETTINGS selected\n" },
};

std::vector<SettingsWindow::Value> Values()
{
    return {
        { STR::VOICE_GUIDANCE, "[CMenuSystem]VOICE_GUIDANCE selected\n", 2,
            [] { return Prefs()->IsVoiceGuidanceOn() ? 1 : 0; },
            [](int on) { on ? Prefs()->SetVoiceGuidanceOn() : Prefs()->SetVoiceGuidanceOff(); },
            { "voice_off_normal.png", "voice_on_normal.png" },
            "0 && \"[CMenuSystem]Invalid VOICE_GUIDANCE Value\\n\"" },
        // The menu offers four volumes; the loudest stored one (the phone app
        // may set it) counts as the highest of them.
        { STR::VOLUME, "[CMenuSystem]SOUND selected\n", 4,
            [] { return std::min<int>(Prefs()->GetVolume(), SYSTEM::VOLUME::LEVEL_3); },
            [](int volume) {
                Prefs()->SetVolume(SYSTEM::VOLUME::VALUE(volume));
                Singleton<Sound>::Inst()->SetUserVolume();
            },
            { "volume_off_normal.png", "volume_low_normal.png", "volume_common_normal.png", "volume_high_normal.png" },
            "0 && \"[CMenuSystem]Invalid VOLUME Value\\n\"" },
        { STR::LCD_DISPLAY, "[CSettings]LCD_DISPLAY selected\n", 4,
            [] { return static_cast<int>(Prefs()->GetLCDDisplay()); },
            [](int display) { Prefs()->SetLCDDisplay(SYSTEM::DISPLAY::VALUE(display)); },
            { "lcd_second_continuous_normal.png", "lcd_second_30_normal.png", "lcd_second_60_normal.png",
                "lcd_second_120_normal.png" },
            "0 && \"[CMenuSystem]Invalid LCD_DISPLAY Value\\n\"" },
    };
}

} // namespace

CMenuSystem::CMenuSystem(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuSystem",
          { STR::HOME, STR::MENU_RETURN, STR::VOICE_GUIDANCE, STR::VOLUME, STR::LCD_DISPLAY, STR::DATE_TIME,
              STR::VERSION, STR::RESET },
          VERSION_LINE | WATCHES_USB)
{
    SetLinks(LINKS);
    SetValues(Values());
}

} // namespace vk
