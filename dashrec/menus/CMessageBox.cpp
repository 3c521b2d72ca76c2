#include "dashrec/menus/CMessageBox.h"

#include "dashrec/core/SDDebug.h"

namespace vk {

void CMessageBox::OnMessage(ipc_msg_t& msg)
{
    if (msg.cmd == WM::SET_MESSAGE && (msg.wnd == _wnd || msg.wnd == WND::ANY))
        OnSetMessage(msg);
    else
        SettingsWindow::OnMessage(msg);
}

void CMessageBox::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log("OnInit, _caller:%d\n", _caller);
    obj_text* message = TextComponent(ID_MESSAGE);
    if (message == nullptr)
        VK_ASSERT_REPORT("message != nullptr");
    message->text_id = _message;
    // Painted over the screen it came from.
    SendMessage(_wnd, WM::PAINT, 1, 0);
    SetTimer(TIMER::CLOSE_PAGE, SHOW_MS);
}

void CMessageBox::OnButton(ipc_msg_t&)
{
    Log("OnButton() - Nothing to do\n");
}

void CMessageBox::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::CLOSE_PAGE)
        return;
    Log("OnTimer() - back to caller:%d\n", _caller);
    Close(_caller);
}

} // namespace vk
