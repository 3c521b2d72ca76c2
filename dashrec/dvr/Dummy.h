#pragma once
// The blank window that waits for the power to go: keys are dead while the
// device shuts down or restarts.

#include "dashrec/ui/MessageHandler.h"

namespace vk {

class Dummy : public MessageHandler {
public:
    explicit Dummy(WND::ID wnd) : MessageHandler(wnd, 0) {}

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t&) override {}
    void OnButton(ipc_msg_t&) override {}
};

} // namespace vk
