#include "dashrec/menus/CListPage.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

#include <cstdio>

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

// Rows show the name up to its camera letter.
constexpr size_t ROW_TEXT_LENGTH = 18;
constexpr int MESSAGE_MS = 2000;
const char* const EXIT_IMAGE = "4870_menu_return.png";
const char* const CANCEL_IMAGE = "4870_menu_cancel.png";

// Windows whose return keeps the row focused before.
bool KeepsFocus(WND::ID caller)
{
    return caller == WND::PLAYER || caller == WND::COPY_PLAYER || caller == WND::COPY_PROCEDURE;
}

} // namespace

CListPage::CListPage(WND::ID wnd, STR::ID title, const char* dir)
    : MessageHandler(wnd, FILES_IN_PAGE + OTHER_BTNS), _dir(dir), _title_id(title)
{
    AddContent(STR::HOME);
    AddContent(STR::MENU_RETURN);
    menus::BindText(*this, CURRENT_NUMBER, _current, "txt1 != nullptr");
    menus::BindText(*this, TOTAL_NUMBER, _total, "txt2 != nullptr");
    VK_ASSERT(GetButtons().size() == FILES_IN_PAGE + OTHER_BTNS);
    for (int row = 0; row < FILES_IN_PAGE; row++) {
        std::snprintf(_filenames[row].name, sizeof(_filenames[row].name), "%d", row);
        menus::BindText(*this, BTN_FIRST_ROW + row, _filenames[row].name, "row != nullptr");
    }
    VK_ASSERT(_dir.size() != 0);
}

void CListPage::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, ("[CListPage:" + _dir + "]").c_str()))
        return;
    if (menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::CONNECT_USB:
        OnConnectUSB();
        break;
    case WM::DISCONNECT_USB:
        OnDisconnectUSB();
        break;
    default:
        break;
    }
}

bool CListPage::IsCopyMenu()
{
    return _caller == WND::SELECT_FILE || _caller == WND::SELECT_FILE_PARKING || _caller == WND::COPY_PLAYER ||
           _caller == WND::COPY_PROCEDURE;
}

obj_button* CListPage::Edit()
{
    return static_cast<obj_button*>(menus::Child(*this, BTN_EDIT, "edit != nullptr"));
}

void CListPage::OnInit(ipc_msg_t& msg)
{
    SetCaller(static_cast<WND::ID>(msg.param1));
    Log()->Print("[CListPage:%s]OnInit, _caller[%d]\n", _dir.c_str(), _caller);
    HideMessage();
    if (!KeepsFocus(static_cast<WND::ID>(msg.param1)))
        _buttons.focused = BTN_FIRST_ROW;
    for (obj_button* button : _buttons.vec) {
        button->SetNormal();
        button->SetUnselect();
    }
    _buttons.vec[_buttons.focused]->SetFocus();

    _pf_ptr = &Singleton<FileLists>::Inst()->GetList(_dir);
    VK_ASSERT(_pf_ptr != nullptr);
    _pf_ptr->ClearSelect();

    obj_button* edit = Edit();
    edit->SetUnselect();
    edit->SetHide();
    if (IsCopyMenu())
        edit->text_id = STR::SELECT;
    obj_common* title = menus::Child(*this, ID_TITLE, "title != nullptr");
    if (title->obj_type == obj_common::TEXT)
        static_cast<obj_text*>(title)->text_id = _title_id;
    HideSandClock();
    UpdateContents();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CListPage::UpdateContents()
{
    for (int row = 0; row < FILES_IN_PAGE; row++) {
        bool selected = false;
        char* text = _filenames[row].name;
        bool found = _pf_ptr->GetFileName(row, text, selected);
        obj_button* button = _buttons.vec[BTN_FIRST_ROW + row];
        if (found)
            button->SetShow();
        else
            button->SetHide();
        if (selected)
            button->SetSelect();
        else
            button->SetUnselect();
        text[ROW_TEXT_LENGTH] = '\0';
    }
    int current = 0;
    int total = 0;
    _pf_ptr->GetPage(current, total);
    VK_ASSERT(current != 0 && total != 0);
    std::snprintf(_current, sizeof(_current), "%d", current);
    std::snprintf(_total, sizeof(_total), "%d", total);
}

void CListPage::GoToPrevPage(int pages)
{
    _pf_ptr->GoToPrevPage(pages);
    UpdateContents();
}

void CListPage::GoToNextPage(int pages)
{
    _pf_ptr->GoToNextPage(pages);
    UpdateContents();
}

void CListPage::OnButton(ipc_msg_t& msg)
{
    if (_keylock)
        return;
    MessageHandler::OnButton(msg);
    PreventGoingBackToLiveview();
    if (_buttons.vec.size() < 4) {
        Log()->Print("[CListPage:%s] - _buttons.size() == 0\n", _dir.c_str());
        return;
    }
    switch (msg.param1) {
    case PARAM1::KEY_OK:
        OnKeyOk();
        break;
    case PARAM1::KEY_MENU:
        Log()->Print("[CListPage:%s]KEY_MENU pressed, closing\n", _dir.c_str());
        SendMessage(_wnd, WM::CLOSE, WND::PREVIOUS_MENU, _wnd);
        break;
    case PARAM1::LONG_KEY_UP:
    case PARAM1::LONG_KEY_UP_REPEAT:
        OnPageBack(msg.param2);
        break;
    case PARAM1::LONG_KEY_DOWN:
    case PARAM1::LONG_KEY_DOWN_REPEAT:
        OnPageForward(msg.param2);
        break;
    default:
        break;
    }
}

void CListPage::OnKeyOk()
{
    unsigned index = _buttons.focused;
    switch (index) {
    case BTN_LIVEVIEW:
        Log()->Print("[CListPage]Back to Liveview\n");
        menus::BackToLiveview(*this);
        break;
    case BTN_EXIT:
        OnExitKey();
        break;
    case BTN_BACK_5:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_UP, 5);
        break;
    case BTN_FORWARD_5:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_DOWN, 5);
        break;
    case BTN_BACK_1:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_UP, 1);
        break;
    case BTN_FORWARD_1:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_DOWN, 1);
        break;
    case BTN_EDIT:
        OnEditKey();
        break;
    default:
        if (index >= BTN_FIRST_ROW && index <= BTN_LAST_ROW) {
            if (_buttons.vec[index]->IsShown())
                OnOkKey(static_cast<int>(index) - BTN_FIRST_ROW);
            else
                Log()->Print("[CListPage:%s]BTN_ID_%u hiden\n", _dir.c_str(), index);
            break;
        }
        Log()->Print("[CListPage:%s]Unknown ID:%u\n", _dir.c_str(), index);
        VK_ASSERT(0 && "Unknown ID");
    }
}

void CListPage::OnExitKey()
{
    int label = Edit()->text_id;
    if (IsCopyMenu() && label == STR::COPY) {
        LeaveSelection();
        SendMessage(_wnd, WM::PAINT, 0, 0);
    } else if (!IsCopyMenu() || label == STR::SELECT) {
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
    } else {
        std::printf("edit->text_id:%d\n", label);
        VK_ASSERT(0 && "string id error");
    }
}

void CListPage::SetExitImage(const char* image)
{
    obj_button* exit = _buttons.vec[BTN_EXIT];
    exit->image_normal = Resource::Inst()->GetSurface(image);
    exit->image_focus = exit->image_normal;
}

void CListPage::LeaveSelection()
{
    obj_button* edit = Edit();
    edit->SetUnselect();
    edit->text_id = STR::SELECT;
    SetExitImage(EXIT_IMAGE);
    _pf_ptr->ClearSelect();
    UpdateContents();
}

void CListPage::OnEditKey()
{
    VK_ASSERT(IsCopyMenu() == true);
    obj_button* edit = Edit();
    if (edit->text_id == STR::SELECT) {
        edit->SetSelect();
        edit->text_id = STR::COPY;
        SetExitImage(CANCEL_IMAGE);
        ShowSandClock();
        HideSandClock();
        Log()->Print("[CListPage:%s]select selected\n", _dir.c_str());
    } else if (edit->text_id != STR::COPY) {
        std::printf("edit->text_id:%d\n", edit->text_id);
        VK_ASSERT(0 && "string id error");
    }
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CListPage::SetFocused(unsigned index)
{
    _buttons.focused = index;
    _buttons.vec[index]->SetFocus();
}

void CListPage::OnPageBack(int pages)
{
    _buttons.vec[_buttons.focused]->SetNormal();
    GoToPrevPage(pages);
    unsigned last = BTN_FIRST_ROW;
    for (unsigned row = BTN_FIRST_ROW; row <= BTN_LAST_ROW; row++) {
        const obj_button* button = _buttons.vec[row];
        if (button->IsShown() && button->status != obj_common::DISABLED)
            last = row;
    }
    SetFocused(last);
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CListPage::OnPageForward(int pages)
{
    _buttons.vec[_buttons.focused]->SetNormal();
    _buttons.focused = BTN_FIRST_ROW;
    GoToNextPage(pages);
    SetFocused(BTN_FIRST_ROW);
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CListPage::OnOkKey(int row)
{
    FileLists* lists = Singleton<FileLists>::Inst();
    if (!IsCopyMenu()) {
        Log()->Print("[CListPage:%s]Go to Player\n", _dir.c_str());
        lists->SetPlayFile(_dir, row);
        SendMessage(_wnd, WM::CLOSE, WND::PLAYER, _wnd);
        return;
    }
    int label = Edit()->text_id;
    if (label == STR::SELECT) {
        Log()->Print("[CListPage:%s]Go to CopyPlayer\n", _dir.c_str());
        lists->SetPlayFile(_dir, row);
        SendMessage(_wnd, WM::CLOSE, WND::COPY_PLAYER, _wnd);
    } else if (label == STR::COPY) {
        if (_pf_ptr->ChangeSelect(row) == 0) {
            Log()->Print("[CListPage:%s]not enought space in sd\n", _dir.c_str());
            ShowMessage(STR::SD_NOT_ENOUGH_SPACE);
        }
        UpdateContents();
        SendMessage(_wnd, WM::PAINT, 0, 0);
    }
}

void CListPage::ShowMessage(STR::ID text)
{
    menus::Show(*this, LIST_MESSAGE_BOX, true);
    obj_common* message = menus::Child(*this, MESSAGE_TEXT, "text != nullptr");
    message->SetShow();
    static_cast<obj_text*>(message)->text_id = text;
    _keylock = true;
    SetTimer(TIMER::CHANGE_VIEW, MESSAGE_MS);
    Log()->Print("[CListPage:%s]Show MessageBox, text_id:%d\n", _dir.c_str(), text);
}

void CListPage::HideMessage()
{
    menus::Show(*this, LIST_MESSAGE_BOX, false);
    obj_common* message = menus::Child(*this, MESSAGE_TEXT, "text != nullptr");
    message->SetHide();
    _keylock = false;
    Log()->Print("[CListPage:%s]Hide MessageBox, text_id:%d\n", _dir.c_str(), static_cast<obj_text*>(message)->text_id);
}

void CListPage::ShowSandClock()
{
    menus::Show(*this, CLOCK_IMAGE, true);
    Resource::Inst()->Draw(false);
}

void CListPage::HideSandClock()
{
    menus::Child(*this, CLOCK_IMAGE, "clock != nullptr")->SetHide();
}

void CListPage::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::CHANGE_VIEW)
        return;
    HideMessage();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CListPage::OnConnectUSB()
{
    SendMessage(_wnd, WM::CLOSE, WND::LIVEVIEW, _wnd);
}

void CListPage::OnClose(ipc_msg_t& msg)
{
    MessageHandler::OnClose(msg);
    obj_button* edit = Edit();
    edit->SetUnselect();
    edit->text_id = STR::SELECT;
}

} // namespace vk
