#include "dashrec/menus/CLockPin.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/ui/Resource.h"

#include <cstring>

namespace vk {

namespace {

SDDebug* CardLog()
{
    return Singleton<SDDebug>::Inst();
}

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

ImgData* DotPicture(bool typed)
{
    return Resource::Inst()->GetSurface(typed ? "4830_dot_01.png" : "4830_dot_00.png");
}

// By STR::NUM_0 onwards.
const char* const DIGITS[] = { "0", "1", "2", "3", "4", "5", "6", "7", "8", "9" };

} // namespace

CLockPin::CLockPin(WND::ID wnd, const char* name, char* lockpin)
    : SettingsWindow(wnd, name,
          { STR::MENU_RETURN, STR::BACKSPACE, STR::NUM_1, STR::NUM_2, STR::NUM_3, STR::NUM_4, STR::NUM_5, STR::NUM_6,
              STR::NUM_7, STR::NUM_8, STR::NUM_9, STR::NUM_0, STR::CANCEL }),
      _lockpin(lockpin)
{
    SetInvalidItemText("[CLockPin]Invalid string id");
    for (int position = 0; position < CODE_LENGTH; ++position) {
        obj_text* text = TextComponent(ID_DIGIT + position);
        if (text == nullptr)
            VK_ASSERT_REPORT("text != nullptr");
        text->text_ptr = _digit[position];
    }
}

obj_image* CLockPin::Dot(int position)
{
    obj_common* obj = GetStateComponent(_wnd, ID_DOT + position);
    if (obj == nullptr || obj->obj_type != obj_common::IMAGE)
        VK_ASSERT_REPORT("img != nullptr");
    return static_cast<obj_image*>(obj);
}

obj_text* CLockPin::Digit(int position)
{
    return TextComponent(ID_DIGIT + position);
}

void CLockPin::OnInit(ipc_msg_t& msg)
{
    _lockpin[0] = '\0';
    _keylock = false;
    SetCaller(WND::ID(msg.param1));
    CardLog()->Print("[CLockPin]OnInit, _caller:%d\n", _caller);
    DrawDots();
    Paint();
}

void CLockPin::OnButton(ipc_msg_t& msg)
{
    if (_keylock)
        return;
    SettingsWindow::OnButton(msg);
    if (std::strlen(_lockpin) != CODE_LENGTH)
        return;
    _keylock = true;
    Paint();
    SetTimer(TIMER::WAITING_FOR_RENDER, RENDER_MS);
}

bool CLockPin::OnItem(STR::ID item)
{
    if (item >= STR::NUM_0 && item <= STR::NUM_9)
        SetDigit(DIGITS[item - STR::NUM_0]);
    else if (item == STR::BACKSPACE)
        DelDigit();
    else if (item == STR::CANCEL)
        PostMenuKey();
    else
        return false;
    return true;
}

void CLockPin::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::WAITING_FOR_DIGIT) {
        DrawDots();
        Paint();
    } else if (msg.param1 == TIMER::WAITING_FOR_RENDER) {
        OnCode();
    }
}

// The digit just typed stands in clear in place of its dot for a second.
void CLockPin::SetDigit(const char* digit)
{
    VK_ASSERT(_lockpin != nullptr);
    VK_ASSERT(std::strlen(_lockpin) < CODE_LENGTH);
    std::strncat(_lockpin, digit, 1);
    CardLog()->Print("[CLockPin]SetDigit - %s\n", _lockpin);
    int last = static_cast<int>(std::strlen(_lockpin)) - 1;
    VK_ASSERT(last < CODE_LENGTH);
    for (int position = 0; position < CODE_LENGTH; ++position) {
        obj_image* dot = Dot(position);
        dot->image = DotPicture(position <= last);
        dot->SetShow();
        if (position == last) {
            std::strncpy(_digit[position], digit, sizeof(_digit[position]) - 1);
            Digit(position)->SetShow();
            dot->SetHide();
        } else {
            Digit(position)->SetHide();
        }
    }
    SetTimer(TIMER::WAITING_FOR_DIGIT, DIGIT_SHOWN_MS);
    Paint();
}

void CLockPin::DrawDots()
{
    int typed = static_cast<int>(std::strlen(_lockpin));
    for (int position = 0; position < CODE_LENGTH; ++position) {
        obj_image* dot = Dot(position);
        dot->image = DotPicture(position < typed);
        dot->SetShow();
        Digit(position)->SetHide();
    }
}

void CLockPin::DelDigit()
{
    VK_ASSERT(_lockpin != nullptr);
    size_t len = std::strlen(_lockpin);
    VK_ASSERT(len < CODE_LENGTH);
    if (len > 0) {
        _lockpin[len - 1] = '\0';
        if (len > 1)
            CardLog()->Print("[CLockPin]DetDigit - %s\n", _lockpin);
        else
            CardLog()->Print("[CLockPin]DetDigit - empty\n");
    }
    DrawDots();
    Paint();
}

CPw1::CPw1(WND::ID wnd) : CLockPin(wnd, "CPw1", Prefs()->GetTempLockPinBuffer1()) {}

void CPw1::OnCode()
{
    Close(WND::PW_2);
}

CPw2::CPw2(WND::ID wnd) : CLockPin(wnd, "CPw2", Prefs()->GetTempLockPinBuffer2()) {}

void CPw2::OnCode()
{
    const char* first = Prefs()->GetTempLockPinBuffer1();
    CardLog()->Print("[CPw2]1:%s, 2:%s\n", first, _lockpin);
    if (std::strcmp(first, _lockpin) == 0) {
        CardLog()->Print("[CPw2]Security On\n");
        Prefs()->SetSecurity(SYSTEM::SECURITY::ON, _lockpin);
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::PW_HAS_BEEN_SET, WND::SECURITY);
    } else {
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::PW_NOT_MATCH, WND::SECURITY);
    }
}

ConfirmPw::ConfirmPw(WND::ID wnd) : CLockPin(wnd, "ConfirmPw", _input) {}

void ConfirmPw::OnCode()
{
    if (!Prefs()->GetSecurity())
        VK_ASSERT_REPORT("Pref::Inst().GetSecurity()");
    if (Prefs()->DoesLockPinMatch(_lockpin)) {
        CardLog()->Print("[ConfirmPw]Security Off\n");
        Prefs()->SetSecurity(SYSTEM::SECURITY::OFF, nullptr);
        Close(WND::SECURITY);
    } else {
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::PW_NOT_MATCH, WND::SECURITY);
    }
}

CMenuPw::CMenuPw(WND::ID wnd) : CLockPin(wnd, "CMenuPw", _input) {}

void CMenuPw::OnCode()
{
    if (Prefs()->DoesLockPinMatch(_lockpin)) {
        CardLog()->Print("[CMenuPw]menu unlock\n");
        Close(WND::MAINMENU);
    } else {
        CardLog()->Print("[CMenuPw]lockpin error\n");
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::PW_NOT_MATCH, WND::LIVEVIEW);
    }
}

CSecurity::CSecurity(WND::ID wnd)
    : OptionScreen(wnd, "CSecurity", { "security", { STR::OFF, STR::ON }, nullptr, nullptr, 0 })
{
}

void CSecurity::OnInit(ipc_msg_t& msg)
{
    _keylock = false;
    _security = Prefs()->GetSecurity();
    OptionScreen::OnInit(msg);
}

void CSecurity::OnButton(ipc_msg_t& msg)
{
    if (!_keylock)
        OptionScreen::OnButton(msg);
}

// The stored state changes only through the pads.
bool CSecurity::OnItem(STR::ID item)
{
    if (item != STR::LEFT && item != STR::RIGHT)
        return false;
    _keylock = true;
    _security = !Prefs()->GetSecurity();
    UpdateString();
    Paint();
    SetTimer(TIMER::WAITING_FOR_RENDER, CLockPin::RENDER_MS);
    return true;
}

void CSecurity::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::WAITING_FOR_RENDER)
        Close(_security ? WND::PW_1 : WND::CONFIRM_PW);
}

} // namespace vk
