#pragma once
// The main menu: the way from the live view into the menu tree. It checks
// that the storage a screen needs is there before opening it. The settings
// changed in the menus are written by the run mode when the tree closes to
// the live view, from whichever screen.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CMenu : public SettingsWindow {
public:
    explicit CMenu(WND::ID wnd);

    // Takes every message the run mode routes to it.
    void OnMessage(ipc_msg_t& msg) override { Dispatch(msg); }
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;
    void OnMenuKey() override;

private:
    void OnPlayback();
    void OnBackup();
};

} // namespace vk
