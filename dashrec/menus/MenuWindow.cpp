#include "dashrec/menus/MenuWindow.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/menus/FormatRequest.h"

#include <cstdio>

namespace vk {

MenuWindow::MenuWindow(WND::ID wnd, int buttonCount, const char* name) : MessageHandler(wnd, buttonCount), _name(name)
{
}

void MenuWindow::OnMessage(ipc_msg_t& msg)
{
    if (!TakesEveryMessage() && msg.wnd != _wnd && msg.wnd != WND::ANY) {
        std::printf("%sA message from WND:%d. REGECTEDn", _name, msg.wnd);
        return;
    }
    switch (msg.cmd) {
    case WM::INIT:
        OnInit(msg);
        break;
    case WM::PAINT:
        OnPaint(msg);
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::CLOSE:
        OnClose(msg);
        break;
    case WM::BUTTON:
        OnButton(msg);
        break;
    default:
        OnOtherMessage(msg);
        break;
    }
}

void MenuWindow::CloseTo(int target)
{
    CloseTo(target, _wnd);
}

void MenuWindow::CloseTo(int target, int param2)
{
    SendMessage(_wnd, WM::CLOSE, target, param2);
}

void MenuWindow::PostMenuKey()
{
    SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
}

void MenuWindow::Repaint()
{
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void MenuWindow::BackToLiveview()
{
    if (Singleton<Pref>::Inst()->FormatNeeded())
        CloseTo(WND::MENU_FORMAT, FormatRequest::TEMP_FROM_LIVEVIEW);
    else
        CloseTo(WND::LIVEVIEW);
}

void MenuWindow::SetTextId(int id, STR::ID text, const char* expr)
{
    obj_common* obj = GetStateComponent(_wnd, id);
    if (obj == nullptr || obj->obj_type != obj_common::TEXT)
        VK_ASSERT_REPORT(expr);
    static_cast<obj_text*>(obj)->text_id = text;
}

obj_button* MenuWindow::Button(unsigned index, const char* expr)
{
    if (index >= _buttons.vec.size() || _buttons.vec[index] == nullptr)
        VK_ASSERT_REPORT(expr);
    return _buttons.vec[index];
}

} // namespace vk
