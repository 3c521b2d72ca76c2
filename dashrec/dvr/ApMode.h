#pragma once
// The screen while the phone app browses the device. For the phone's pages
// that read or delete recordings the loop pool is unmounted, so that the
// phone has the recording medium to itself until the window closes.

#include "dashrec/ui/MessageHandler.h"

namespace vk {

class ApMode : public MessageHandler {
public:
    explicit ApMode(WND::ID wnd) : MessageHandler(wnd, 0) {}

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg);

private:
    // Back-light on; with the display set to go dark, dark again after the idle time.
    void WakeScreen();

    bool _mount = false;
    int _lcdoffTime = 0;
};

} // namespace vk
