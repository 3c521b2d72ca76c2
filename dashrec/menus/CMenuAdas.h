#pragma once
// Driver assistance: the lane-departure and forward-collision warnings and
// the speed-camera voices switched in place, and the aiming view that shows
// the front camera alone, full screen, while the camera is aimed. The two
// warnings also have option pages, registered but opened by no menu item.

#include "dashrec/menus/OptionScreen.h"

namespace vk {

class CMenuAdas : public SettingsWindow {
public:
    explicit CMenuAdas(WND::ID wnd);
};

class CAdasCalibration : public SettingsWindow {
public:
    explicit CAdasCalibration(WND::ID wnd) : SettingsWindow(wnd, "CAdasCalibration", { STR::OK_ENG }) {}

    // The front video output is this view's from its INIT to its CLOSE.
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;
};

class CLdwsMode : public OptionScreen {
public:
    explicit CLdwsMode(WND::ID wnd);
};

class CFcwsMode : public OptionScreen {
public:
    explicit CFcwsMode(WND::ID wnd);
};

} // namespace vk
