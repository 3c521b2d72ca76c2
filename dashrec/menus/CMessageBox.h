#pragma once
// The message box: one text for two seconds, then back to the window that
// opened it. Keys cannot close it early.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CMessageBox : public SettingsWindow {
public:
    static const int ID_MESSAGE = 1000;
    static const int SHOW_MS = 2000;

    explicit CMessageBox(WND::ID wnd) : SettingsWindow(wnd, "CMessageBox", 0, {}) {}

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;
    void OnSetMessage(ipc_msg_t& msg) { _message = STR::ID(msg.param1); }

private:
    STR::ID _message = STR::EMPTY;
};

} // namespace vk
