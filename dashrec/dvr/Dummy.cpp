#include "dashrec/dvr/Dummy.h"

#include "dashrec/core/SDDebug.h"

namespace vk {

void Dummy::OnMessage(ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::INIT:
        OnInit(msg);
        break;
    case WM::PAINT:
        OnPaint(msg);
        break;
    case WM::CLOSE:
        OnClose(msg);
        break;
    case WM::BUTTON:
        OnButton(msg);
        break;
    default:
        break;
    }
}

void Dummy::OnInit(ipc_msg_t&)
{
    Singleton<SDDebug>::Inst()->Print("[Dummy]Waiting for SHUTDOWN\n");
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

} // namespace vk
