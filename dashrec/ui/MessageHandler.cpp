#include "dashrec/ui/MessageHandler.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

namespace vk {

namespace {

// Windows that return to their opener without becoming its caller.
const WND::ID CALLERS_NOT_KEPT[] = { WND::MESSAGE_BOX, WND::VERSION, WND::RESET };

int PackPoint(int x, int y)
{
    return x << 12 | y;
}

// A button the user can reach: shown and not disabled.
bool IsActive(const obj_button* btn)
{
    return btn->IsShown() && btn->status != obj_common::DISABLED;
}

} // namespace

MessageHandler::MessageHandler(WND::ID wnd, int buttonCount) : _wnd(wnd)
{
    OnCreate(buttonCount);
}

void MessageHandler::OnCreate(int n)
{
    if (n <= 0)
        return;
    VK_ASSERT(GetButtonsSize() == 0);
    for (int id = 0; id < n; ++id)
        AddButton(id);
    std::vector<obj_button*>& buttons = _buttons.vec;
    unsigned focused = _buttons.focused;
    VK_ASSERT(buttons.at(focused) != nullptr);
    buttons[focused]->SetFocus();
}

void MessageHandler::AddButton(int id)
{
    _buttons.focused = 0;
    obj_common* obj = GetStateComponent(_wnd, id);
    obj_button* btn = obj != nullptr && obj->obj_type == obj_common::BUTTON ? static_cast<obj_button*>(obj) : nullptr;
    if (btn == nullptr)
        Singleton<SDDebug>::Inst()->Print("AddButtons() wnd:%d - id[%d] not found\n", _wnd, id);
    VK_ASSERT(btn != nullptr);
    _buttons.vec.push_back(btn);
}

void MessageHandler::AddContent(STR::ID text)
{
    _contents.vec.push_back(text);
}

obj_common* MessageHandler::GetComponent(int id)
{
    return Resource::Inst()->GetComponent(id);
}

obj_common* MessageHandler::GetStateComponent(int state, int id)
{
    return Resource::Inst()->GetStateComponent(state, id);
}

unsigned MessageHandler::GetActiveButtonsSize() const
{
    unsigned active = 0;
    for (const obj_button* btn : _buttons.vec)
        if (IsActive(btn))
            ++active;
    return active;
}

STR::ID MessageHandler::GetStringIdOfFocusedButton()
{
    unsigned index = _buttons.focused;
    // A hidden button may stand between shown ones: the focused one itself must be reachable.
    VK_ASSERT(index < GetButtonsSize() && IsActive(_buttons.vec[index]));
    obj_button* btn = static_cast<obj_button*>(GetStateComponent(_wnd, static_cast<int>(index)));
    VK_ASSERT(btn != nullptr);
    VK_ASSERT((STR::ID)btn->text_id != STR::EMPTY);
    return static_cast<STR::ID>(btn->text_id);
}

void MessageHandler::SendMessage(int wnd, int cmd, int param1, int param2)
{
    UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2, nullptr);
}

void MessageHandler::SetTimer(TIMER::ID tid, int ms)
{
    Singleton<UITimer>::Inst()->Set(_wnd, tid, ms);
}

void MessageHandler::KillTimer(TIMER::ID tid)
{
    Singleton<UITimer>::Inst()->Kill(_wnd, tid);
}

void MessageHandler::PreventGoingBackToLiveview()
{
    Singleton<CMainDvr>::Inst()->ResumeShowMenuTimer();
}

void MessageHandler::SetCaller(WND::ID wnd)
{
    for (WND::ID notKept : CALLERS_NOT_KEPT) {
        if (wnd == notKept) {
            Singleton<SDDebug>::Inst()->Print("WND:%d, caller:%d not set\n", _wnd, wnd);
            return;
        }
    }
    _caller = wnd;
}

void MessageHandler::OnPaint(ipc_msg_t& msg)
{
    Resource::Inst()->Draw(msg.param1 != 0);
}

void MessageHandler::OnClose(ipc_msg_t& msg)
{
    Singleton<SDDebug>::Inst()->Print("[MessageHandler::OnClose]param1:%d, param2:%d\n", msg.param1, msg.param2 & 0xFFFF);
    SendMessage(_wnd, WM::CHANGE_PAGE, msg.param1, msg.param2);
}

void MessageHandler::SetStartPage()
{
    VK_ASSERT(_contents.vec.size() != 0);
    if (_contents.vec.size() < _buttons.vec.size())
        Singleton<SDDebug>::Inst()->Print("[MessageHandler]wnd:%d contents:%u, buttons:%u\n", _wnd, GetContentsSize(), GetButtonsSize());
    VK_ASSERT(_contents.vec.size() >= _buttons.vec.size());
    _contents.startIndex = 0;
    UpdateButtonText();
}

void MessageHandler::ShowOnPage(int objectId, bool shown)
{
    obj_common* obj = GetStateComponent(_wnd, objectId);
    if (obj == nullptr)
        return;
    if (shown)
        obj->SetShow();
    else
        obj->SetHide();
}

void MessageHandler::UpdateButtonText()
{
    for (unsigned i = 0; i < _buttons.vec.size(); ++i) {
        unsigned content = _contents.startIndex + i;
        bool shown = content < _contents.vec.size();
        obj_button* btn = _buttons.vec[i];
        if (shown) {
            btn->text_id = _contents.vec[content];
            btn->SetShow();
        } else {
            btn->SetHide();
        }
        ShowOnPage(IMG_OFFSET + static_cast<int>(i), shown);
        ShowOnPage(TXTSUB_OFFSET + static_cast<int>(i), shown);
    }
    UpdateSubText();
}

bool MessageHandler::HasMorePagesThanOne() const
{
    return _contents.vec.size() > _buttons.vec.size();
}

void MessageHandler::GoToNextPage()
{
    if (!HasMorePagesThanOne())
        return;
    VK_ASSERT(_contents.startIndex % GetButtonsSize() == 0);
    _contents.startIndex += GetButtonsSize();
    if (_contents.startIndex >= GetContentsSize())
        _contents.startIndex = 0;
    Singleton<SDDebug>::Inst()->Print("[MessageHandler]GoToNextPage();_contents.startIndex:%u\n", _contents.startIndex);
    UpdateButtonText();
}

void MessageHandler::GoToPrevPage()
{
    if (!HasMorePagesThanOne())
        return;
    VK_ASSERT(_contents.startIndex % GetButtonsSize() == 0);
    if (_contents.startIndex < GetButtonsSize())
        _contents.startIndex = GetButtonsSize() * (GetLastPage() - 1);
    else
        _contents.startIndex -= GetButtonsSize();
    Singleton<SDDebug>::Inst()->Print("[MessageHandler]GoToPrevPage();_contents.startIndex:%u\n", _contents.startIndex);
    UpdateButtonText();
}

unsigned MessageHandler::GetCurrentPages() const
{
    return GetButtonsSize() == 0 ? 1 : _contents.startIndex / GetButtonsSize() + 1;
}

unsigned MessageHandler::GetLastPage() const
{
    if (GetButtonsSize() == 0 || GetContentsSize() == 0)
        return 1;
    return (GetContentsSize() - 1) / GetButtonsSize() + 1;
}

void MessageHandler::MoveFocus(unsigned to)
{
    _buttons.vec[_buttons.focused]->SetNormal();
    _buttons.focused = to;
    _buttons.vec[to]->SetFocus();
}

unsigned MessageHandler::LastActiveButton() const
{
    for (unsigned i = GetButtonsSize(); i-- > 0;)
        if (IsActive(_buttons.vec[i]))
            return i;
    return 0;
}

// Focus moves step over hidden buttons, which may stand between shown ones.
void MessageHandler::FocusPrevious()
{
    unsigned focused = _buttons.focused;
    _buttons.vec[focused]->SetNormal();
    do {
        if (focused == 0) {
            GoToPrevPage();
            focused = LastActiveButton();
            break;
        }
        --focused;
    } while (!IsActive(_buttons.vec[focused]));
    _buttons.focused = focused;
    _buttons.vec[focused]->SetFocus();
}

void MessageHandler::FocusNext()
{
    unsigned focused = _buttons.focused;
    _buttons.vec[focused]->SetNormal();
    do {
        if (focused >= LastActiveButton()) {
            focused = 0;
            GoToNextPage();
            break;
        }
        ++focused;
    } while (!IsActive(_buttons.vec[focused]));
    _buttons.focused = focused;
    _buttons.vec[focused]->SetFocus();
}

void MessageHandler::PlayClick()
{
    Singleton<Sound>::Inst()->Play(Sound::button);
}

void MessageHandler::RepostTouchOfButton(unsigned index)
{
    int x = 0;
    int y = 0;
    if (GetButtonPosition(_buttons.vec, index, x, y))
        SendMessage(_wnd, WM::BUTTON, PARAM1::TOUCH, PackPoint(x, y));
}

void MessageHandler::OnButton(ipc_msg_t& msg)
{
    PreventGoingBackToLiveview();
    if (_buttons.vec.empty()) {
        Singleton<SDDebug>::Inst()->Print("%s:%d - _buttons.size() == 0\n", detail::BaseName(__FILE__), __LINE__);
        return;
    }
    switch (msg.param1) {
    case PARAM1::KEY_UP:
    case PARAM1::KEY_DOWN:
        // A page of hidden buttons only has nowhere to move to.
        if (GetActiveButtonsSize() == 0)
            return;
        if (msg.param1 == PARAM1::KEY_UP)
            FocusPrevious();
        else
            FocusNext();
        SendMessage(_wnd, WM::PAINT, 0, 0);
        PlayClick();
        break;
    case PARAM1::KEY_OK:
        if (_buttons.vec.at(_buttons.focused)->text_id != STR::MEMORY_SIZE)
            PlayClick();
        break;
    case PARAM1::KEY_MENU:
        if (msg.param2 != PARAM2::NO_SOUND)
            PlayClick();
        break;
    case PARAM1::TOUCH: {
        int touched = GetTouchedButton(_buttons.vec, (msg.param2 >> 12) & 0xFFF, msg.param2 & 0xFFF);
        if (touched < 0) {
            Singleton<SDDebug>::Inst()->Print("MessageHandler::OnButton >>>> (touched < 0)\n");
            return;
        }
        MoveFocus(static_cast<unsigned>(touched));
        SendMessage(_wnd, WM::PAINT, 0, 0);
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_OK, _buttons.vec[touched]->id);
        break;
    }
    case PARAM1::TOUCH_DEBUG:
        RepostTouchOfButton(static_cast<unsigned>(msg.param2));
        break;
    default:
        break;
    }
}

void MessageHandler::OnButtonTouch(ipc_msg_t& msg)
{
    if (_buttons.vec.empty()) {
        Singleton<SDDebug>::Inst()->Print("%s:%d - _buttons.size() == 0\n", detail::BaseName(__FILE__), __LINE__);
        return;
    }
    switch (msg.param1) {
    case PARAM1::TOUCH: {
        int touched = GetTouchedButton(_buttons.vec, (msg.param2 >> 12) & 0xFFF, msg.param2 & 0xFFF);
        if (touched < 0) {
            Singleton<SDDebug>::Inst()->Print("touched = %d\n", touched);
            return;
        }
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_OK, _buttons.vec[touched]->id);
        break;
    }
    case PARAM1::TOUCH_DEBUG:
        RepostTouchOfButton(static_cast<unsigned>(msg.param2));
        break;
    case PARAM1::KEY_OK:
        PlayClick();
        break;
    default:
        break;
    }
}

int MessageHandler::GetTouchedButton(const std::vector<obj_button*>& buttons, int x, int y)
{
    for (int i = static_cast<int>(buttons.size()) - 1; i >= 0; --i) {
        const obj_button* btn = buttons[i];
        const Rect& a = btn->area;
        if (!btn->IsShown() || btn->status == obj_common::DISABLED)
            continue;
        if (x >= a.x && x < a.x + a.w && y >= a.y && y < a.y + a.h)
            return i;
    }
    return -1;
}

bool MessageHandler::GetButtonPosition(const std::vector<obj_button*>& buttons, unsigned index, int& x, int& y)
{
    if (index >= buttons.size())
        return false;
    const obj_button* btn = buttons[index];
    if (btn->status == obj_common::DISABLED && !btn->IsShown())
        return false;
    x = btn->area.x;
    y = btn->area.y;
    return true;
}

} // namespace vk
