#include "dashrec/menus/SystemScreens.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

enum Row { ROW_FIRST_VALUE = 2 };

const STR::ID DISPLAY_TEXT[] = { STR::OFF, STR::SEC30, STR::SEC60, STR::SEC120 };
const STR::ID LANGUAGE_TEXT[] = { STR::JAPANESE, STR::ENGLISH, STR::KOREAN };
const STR::ID VOLUME_TEXT[] = { STR::OFF, STR::NUM_1, STR::NUM_2, STR::NUM_3, STR::NUM_4 };

const SettingsWindow::Link SETTINGS_LINKS[] = {
    { STR::DATE_TIME, WND::DATE_TIME, nullptr },
    { STR::LCD_DISPLAY, WND::LCD_DISPLAY, nullptr },
    { STR::LANGUAGE, WND::LANGUAGE, nullptr },
};

const SettingsWindow::Link SOUND_LINKS[] = {
    { STR::VOICE_GUIDANCE, WND::VOICE, nullptr },
    { STR::VOLUME, WND::VOLUME, nullptr },
};

} // namespace

CSettings::CSettings(WND::ID wnd)
    : SettingsWindow(wnd, "CSettings", { STR::VERSION, STR::MENU_RETURN, STR::DATE_TIME, STR::LCD_DISPLAY, STR::LANGUAGE })
{
    SetLinks(SETTINGS_LINKS);
}

void CSettings::UpdateSubText()
{
    SubText(ROW_FIRST_VALUE)->SetHide(); // the date has no value to show
    SubText(ROW_FIRST_VALUE + 1)->text_id = DISPLAY_TEXT[Prefs()->GetLCDDisplay()];
    SubText(ROW_FIRST_VALUE + 2)->text_id = LANGUAGE_TEXT[Prefs()->GetLanguage()];
}

CSound::CSound(WND::ID wnd)
    : SettingsWindow(wnd, "CSound", { STR::VERSION, STR::MENU_RETURN, STR::VOICE_GUIDANCE, STR::VOLUME })
{
    SetLinks(SOUND_LINKS);
}

void CSound::UpdateSubText()
{
    SubText(ROW_FIRST_VALUE)->text_id = Prefs()->IsVoiceGuidanceOn() ? STR::ON : STR::OFF;
    SubText(ROW_FIRST_VALUE + 1)->text_id = VOLUME_TEXT[Prefs()->GetVolume()];
}

CDisplay::CDisplay(WND::ID wnd)
    : OptionScreen(wnd, "CDisplay",
          { "clock", { std::begin(DISPLAY_TEXT), std::end(DISPLAY_TEXT) },
              [] { return static_cast<int>(Prefs()->GetLCDDisplay()); },
              [](int display) { Prefs()->SetLCDDisplay(SYSTEM::DISPLAY::VALUE(display)); }, 0 })
{
}

CVolume::CVolume(WND::ID wnd)
    : OptionScreen(wnd, "CVolume",
          { "volume", { std::begin(VOLUME_TEXT), std::end(VOLUME_TEXT) },
              [] { return static_cast<int>(Prefs()->GetVolume()); },
              [](int volume) {
                  Prefs()->SetVolume(SYSTEM::VOLUME::VALUE(volume));
                  Singleton<Sound>::Inst()->SetUserVolume();
              },
              0 })
{
}

CVoice::CVoice(WND::ID wnd)
    : OptionScreen(wnd, "CVoice",
          { "voice", { STR::OFF, STR::ON }, [] { return Prefs()->IsVoiceGuidanceOn() ? 1 : 0; },
              [](int on) { on ? Prefs()->SetVoiceGuidanceOn() : Prefs()->SetVoiceGuidanceOff(); }, 0 })
{
}

CLanguage::CLanguage(WND::ID wnd)
    : OptionScreen(wnd, "CLanguage",
          { "language", { std::begin(LANGUAGE_TEXT), std::end(LANGUAGE_TEXT) },
              [] { return static_cast<int>(Prefs()->GetLanguage()); },
              [](int language) { Prefs()->SetLanguage(SYSTEM::LANGUAGE::VALUE(language)); }, 2 })
{
}

int CLanguage::Step(int value, int)
{
    return value == SYSTEM::LANGUAGE::ENGLISH ? SYSTEM::LANGUAGE::KOREAN : SYSTEM::LANGUAGE::ENGLISH;
}

int CLanguage::DotOf(int value)
{
    return value == SYSTEM::LANGUAGE::ENGLISH ? 0 : 1;
}

} // namespace vk
