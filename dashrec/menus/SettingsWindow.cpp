#include "dashrec/menus/SettingsWindow.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

#include <cstdarg>
#include <cstdio>

namespace vk {

SettingsWindow::SettingsWindow(WND::ID wnd, const char* name, std::initializer_list<STR::ID> items, unsigned features)
    : SettingsWindow(wnd, name, static_cast<int>(items.size()), items, features)
{
}

SettingsWindow::SettingsWindow(WND::ID wnd, const char* name, int buttons, std::initializer_list<STR::ID> items,
    unsigned features)
    : MessageHandler(wnd, buttons), _name(name), _features(features),
      _invalidItem(std::string("[") + name + "]Invalid string id")
{
    Construct(items);
}

void SettingsWindow::Construct(std::initializer_list<STR::ID> items)
{
    if (items.size() == 0)
        return; // a window without items (the message box)
    for (STR::ID item : items)
        AddContent(item);
    SetStartPage();
}

void SettingsWindow::Log(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    Singleton<SDDebug>::Inst()->Print("[%s]%s", _name, line);
}

void SettingsWindow::OnMessage(ipc_msg_t& msg)
{
    if (msg.wnd != _wnd && msg.wnd != WND::ANY) {
        std::printf("[%s]A message from WND:%d. REGECTEDn", _name, msg.wnd);
        return;
    }
    Dispatch(msg);
}

void SettingsWindow::Dispatch(ipc_msg_t& msg)
{
    if (menus::DispatchBasic(*this, msg))
        return;
    if (msg.cmd == WM::TIMER)
        OnTimer(msg);
    else if (msg.cmd == WM::CONNECT_USB && (_features & WATCHES_USB))
        Close(WND::LIVEVIEW);
}

void SettingsWindow::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log("OnInit, _caller:%d\n", _caller);
    if (_features & VERSION_LINE)
        ShowVersionLine();
    Refresh();
    Paint();
}

void SettingsWindow::ShowVersionLine()
{
    obj_text* txt = TextComponent(ID_VERSION);
    if (txt == nullptr)
        VK_ASSERT_REPORT("txt != nullptr");
    txt->text_ptr = Resource::Inst()->GetVersion();
}

obj_text* SettingsWindow::TextComponent(int id)
{
    obj_common* obj = GetStateComponent(_wnd, id);
    return obj != nullptr && obj->obj_type == obj_common::TEXT ? static_cast<obj_text*>(obj) : nullptr;
}

void SettingsWindow::SetText(int id, STR::ID text, const char* expr)
{
    obj_text* txt = TextComponent(id);
    if (txt == nullptr)
        VK_ASSERT_REPORT(expr);
    txt->text_id = text;
}

void SettingsWindow::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_MENU) {
        OnMenuKey();
        return;
    }
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    STR::ID item = GetStringIdOfFocusedButton();
    if (!OnCommonItem(item) && !OnLink(item) && !OnValue(item) && !OnItem(item))
        InvalidItem();
}

void SettingsWindow::OnMenuKey()
{
    Log("KEY_MENU pressed, closing\n");
    Close(WND::PREVIOUS_MENU);
}

bool SettingsWindow::OnCommonItem(STR::ID item)
{
    switch (item) {
    case STR::VERSION:
        Log("Info selected\n");
        Close(WND::VERSION);
        return true;
    case STR::MENU_RETURN:
        PostMenuKey();
        return true;
    case STR::HOME:
        Log("Back to Liveview\n");
        CloseToLiveview();
        return true;
    default:
        return false;
    }
}

bool SettingsWindow::OnLink(STR::ID item)
{
    for (const Link& link : _links) {
        if (link.item != item)
            continue;
        if (link.log != nullptr)
            Singleton<SDDebug>::Inst()->Print("%s", link.log);
        Close(link.target);
        return true;
    }
    return false;
}

bool SettingsWindow::OnValue(STR::ID item)
{
    for (const Value& value : _values) {
        if (value.item != item)
            continue;
        Singleton<SDDebug>::Inst()->Print("%s", value.log);
        value.set((value.get() + 1) % value.count);
        UpdateSubText();
        Paint();
        return true;
    }
    return false;
}

void SettingsWindow::UpdateSubText()
{
    for (const Value& value : _values)
        if (!value.pictures.empty())
            ShowValue(value);
}

void SettingsWindow::ShowValue(const Value& value)
{
    obj_button* button = ButtonOf(value.item);
    int shown = value.get();
    if (shown < 0 || shown >= static_cast<int>(value.pictures.size()))
        VK_ASSERT_REPORT(value.invalid);
    SetButtonPicture(button, value.pictures[shown]);
}

obj_button* SettingsWindow::ButtonOf(STR::ID item)
{
    for (obj_button* button : _buttons.vec)
        if (button->text_id == item)
            return button;
    VK_ASSERT_REPORT("button != nullptr");
}

void SettingsWindow::SetButtonPicture(obj_button* button, const char* picture)
{
    ImgData* image = Resource::Inst()->GetSurface(picture);
    button->image_normal = image;
    button->image_focus = image;
}

obj_text* SettingsWindow::SubText(int row)
{
    obj_text* txt = TextComponent(TXTSUB_OFFSET + row);
    if (txt == nullptr)
        VK_ASSERT_REPORT("txt != nullptr");
    return txt;
}

void SettingsWindow::Close(int target, int param2)
{
    SendMessage(_wnd, WM::CLOSE, target, param2);
}

void SettingsWindow::PostMenuKey()
{
    SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
}

void SettingsWindow::CloseToLiveview()
{
    if (Singleton<Pref>::Inst()->FormatNeeded())
        Close(WND::MENU_FORMAT, FormatRequest::TEMP_FROM_LIVEVIEW);
    else
        Close(WND::LIVEVIEW);
}

void SettingsWindow::InvalidItem()
{
    std::string text = "0 && \"" + _invalidItem + "\"";
    VK_ASSERT_REPORT(text.c_str());
}

} // namespace vk
