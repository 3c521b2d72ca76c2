#include "dashrec/menus/MenuHelpers.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"

#include <cstdio>

namespace vk::menus {

namespace {

// Format with the values kept for the next start, then back to the live view.
constexpr int FORMAT_WITH_TEMP_VALUES_FOR_LIVEVIEW = 0xF103E9;

} // namespace

void BackToLiveview(MessageHandler& window)
{
    if (Singleton<Pref>::Inst()->FormatNeeded())
        window.SendMessage(window.GetWindowId(), WM::CLOSE, WND::MENU_FORMAT, FORMAT_WITH_TEMP_VALUES_FOR_LIVEVIEW);
    else
        window.SendMessage(window.GetWindowId(), WM::CLOSE, WND::LIVEVIEW, window.GetWindowId());
}

obj_common* Child(MessageHandler& window, int id, const char* assertion)
{
    obj_common* obj = window.GetStateComponent(window.GetWindowId(), id);
    if (obj == nullptr)
        VK_ASSERT_REPORT(assertion);
    return obj;
}

void BindText(MessageHandler& window, int id, const char* buffer, const char* assertion)
{
    obj_common* obj = Child(window, id, assertion);
    if (obj->obj_type == obj_common::TEXT)
        static_cast<obj_text*>(obj)->text_ptr = buffer;
    else if (obj->obj_type == obj_common::BUTTON)
        static_cast<obj_button*>(obj)->text_ptr = buffer;
    else
        VK_ASSERT_REPORT(assertion);
}

void Show(MessageHandler& window, int id, bool shown)
{
    obj_common* obj = Child(window, id, "obj != nullptr");
    if (shown)
        obj->SetShow();
    else
        obj->SetHide();
}

bool Accepts(MessageHandler& window, const ipc_msg_t& msg, const char* tag)
{
    if (msg.wnd == window.GetWindowId() || msg.wnd == WND::ANY)
        return true;
    std::printf("%sA message from WND:%d. REGECTEDn", tag, msg.wnd);
    return false;
}

bool DispatchBasic(MessageHandler& window, ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::INIT:
        window.OnInit(msg);
        return true;
    case WM::PAINT:
        window.OnPaint(msg);
        return true;
    case WM::CLOSE:
        window.OnClose(msg);
        return true;
    case WM::BUTTON:
        window.OnButton(msg);
        return true;
    default:
        return false;
    }
}

} // namespace vk::menus
