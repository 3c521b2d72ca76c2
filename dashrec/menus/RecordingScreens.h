#pragma once
// The upper recording menu and the option screens of the recording values:
// registered with the run mode, though no menu item of the device opens them.

#include "dashrec/menus/OptionScreen.h"

namespace vk {

class CMenuRecording : public SettingsWindow {
public:
    explicit CMenuRecording(WND::ID wnd);
};

class CNormalGsensor : public OptionScreen {
public:
    explicit CNormalGsensor(WND::ID wnd);
};

// The video size and the long-time recording take effect after a format.
class CVideoSize : public OptionScreen {
public:
    explicit CVideoSize(WND::ID wnd);
};

class CEV : public OptionScreen {
public:
    explicit CEV(WND::ID wnd);
};

class CNightVision : public OptionScreen {
public:
    explicit CNightVision(WND::ID wnd);
};

class CLongtime : public OptionScreen {
public:
    explicit CLongtime(WND::ID wnd);
};

} // namespace vk
