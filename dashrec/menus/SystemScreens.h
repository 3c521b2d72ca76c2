#pragma once
// The settings and sound menus and the option screens of the system values:
// registered with the run mode, though no menu item of the device opens them.

#include "dashrec/menus/OptionScreen.h"

namespace vk {

// A menu whose rows show their value as a sub-text beside the item.
class CSettings : public SettingsWindow {
public:
    explicit CSettings(WND::ID wnd);
    void UpdateSubText() override;
};

class CSound : public SettingsWindow {
public:
    explicit CSound(WND::ID wnd);
    void UpdateSubText() override;
};

class CDisplay : public OptionScreen {
public:
    explicit CDisplay(WND::ID wnd);
};

class CVolume : public OptionScreen {
public:
    explicit CVolume(WND::ID wnd);
};

// LEFT and RIGHT both switch voice guidance over.
class CVoice : public OptionScreen {
public:
    explicit CVoice(WND::ID wnd);

protected:
    int Step(int value, int) override { return 1 - value; }
};

// LEFT and RIGHT both switch between English and Korean; Japanese is shown
// when stored but never chosen here.
class CLanguage : public OptionScreen {
public:
    explicit CLanguage(WND::ID wnd);

protected:
    int Step(int value, int) override;
    int DotOf(int value) override;
};

} // namespace vk
