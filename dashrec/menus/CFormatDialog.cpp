#include "dashrec/menus/CFormatDialog.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/MenuHelpers.h"


namespace vk {

namespace {

const CFormatDialog::Kind SD_FORMAT = {
    "[CSDFormat]",
    WND::MEMORY,
    { STR::FORMAT_SD_TO_FAT32, STR::MEMROY_ALL_FILE_DELETE, STR::FORMAT_SD_CARD },
    { STR::SD_COPY_AFTER_FORMAT, STR::SD_ALL_FILE_DELETE, STR::PROCEED_TO_COPY },
    WND::SD_FORMAT_PROCEDURE,
    STR::NO_SD_CARD,
    &Storage::IsSdCardInserted,
    true,
};

const CFormatDialog::Kind USB_FORMAT = {
    "[CUSBFormat]",
    WND::INVALID,
    { STR::USB_COPY_AFTER_FORMAT, STR::USB_ALL_FILE_DELETE, STR::PROCEED_TO_COPY_TO_USB },
    { STR::USB_COPY_AFTER_FORMAT, STR::USB_ALL_FILE_DELETE, STR::PROCEED_TO_COPY_TO_USB },
    WND::USB_FORMAT_PROCEDURE,
    STR::NO_USB_MEMORY,
    &Storage::IsUsbMemoryInserted,
    false,
};

const char* const QUESTION_MISSING[CFormatDialog::QUESTION_LINES] = {
    "msg1 != nullptr", "msg2 != nullptr", "msg3 != nullptr" };

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

CFormatDialog::CFormatDialog(WND::ID wnd, const Kind& kind) : MessageHandler(wnd, 4), _kind(kind)
{
    for (STR::ID text : { STR::HOME, STR::MENU_RETURN, STR::CANCEL, STR::OK })
        AddContent(text);
    SetStartPage();
}

CSDFormat::CSDFormat(WND::ID wnd) : CFormatDialog(wnd, SD_FORMAT) {}

CUSBFormat::CUSBFormat(WND::ID wnd) : CFormatDialog(wnd, USB_FORMAT) {}

void CFormatDialog::OnMessage(ipc_msg_t& msg)
{
    if (menus::Accepts(*this, msg, _kind.tag))
        menus::DispatchBasic(*this, msg);
}

void CFormatDialog::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log()->Print("%sOnInit, _caller:%d\n", _kind.tag, _caller);
    const STR::ID* lines = _caller == _kind.ownMenu ? _kind.plainFormat : _kind.beforeCopy;
    for (int i = 0; i < QUESTION_LINES; ++i) {
        static_cast<obj_text*>(menus::Child(*this, FIRST_QUESTION + i, QUESTION_MISSING[i]))->text_id = lines[i];
    }
    for (obj_button* btn : _buttons.vec)
        btn->SetNormal();
    _buttons.focused = 0;
    _buttons.vec[0]->SetFocus();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CFormatDialog::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_MENU) {
        Log()->Print("%sKEY_MENU pressed, closing\n", _kind.tag);
        CloseTo(WND::PREVIOUS_MENU, _wnd);
        return;
    }
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    switch (GetStringIdOfFocusedButton()) {
    case STR::OK:
        OnOk();
        break;
    case STR::CANCEL:
        Log()->Print("%sCANCEL selected, closing\n", _kind.tag);
        CloseTo(_caller, _wnd);
        break;
    case STR::MENU_RETURN:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
        break;
    case STR::HOME:
        OnHome();
        break;
    default:
        VK_ASSERT_REPORT("0 && \"Invalid string id\"");
    }
}

void CFormatDialog::OnOk()
{
    if (!(Singleton<Storage>::Inst()->*_kind.isInserted)()) {
        Singleton<CMainDvr>::Inst()->SetMessageBox(_kind.noMedium, WND::MAINMENU);
        return;
    }
    Log()->Print("%sOK selected, closing\n", _kind.tag);
    CloseTo(_kind.procedure, _caller);
}

void CFormatDialog::OnHome()
{
    Log()->Print("%sBack to Liveview\n", _kind.tag);
    if (_kind.homeChecksFormat)
        menus::BackToLiveview(*this);
    else
        CloseTo(WND::LIVEVIEW, _wnd);
}

void CFormatDialog::CloseTo(int target, int param2)
{
    SendMessage(_wnd, WM::CLOSE, target, param2);
}

} // namespace vk
