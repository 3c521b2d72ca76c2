#include "dashrec/menus/FormatDialogs.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

bool DoesDeviceExist()
{
    return Singleton<Storage>::Inst()->DoesDeviceExist();
}

} // namespace

void FormatDialog::ShowTexts(STR::ID title)
{
    bool sd = IsSdCardMedium();
    SetTextId(ID_MESSAGE_1, title, "msg1 != nullptr");
    SetTextId(ID_MESSAGE_2, sd ? STR::SD_ALL_FILE_DELETE : STR::MEMROY_ALL_FILE_DELETE, "msg2 != nullptr");
    SetTextId(ID_MESSAGE_3, STR::RESTART_AFTER_FORMAT, "msg3 != nullptr");
}

void FormatDialog::RequestFormat(int request, const char* okLine, const char* underLine)
{
    if (IsSdCardMedium()) {
        if (!DoesDeviceExist())
            return;
        if (!IsSdCardLargeEnough()) {
            if (underLine != nullptr)
                Log()->Print("%s", underLine);
            Singleton<CMainDvr>::Inst()->SetMessageBox(STR::USE_16GB_OR_MORE, _wnd);
            return;
        }
    }
    Log()->Print("%s", okLine);
    CloseTo(WND::FORMATTING, request);
}

CMenuFormat::CMenuFormat(WND::ID wnd) : FormatDialog(wnd, 4, "[CMenuFormat]")
{
    AddContent(STR::HOME);
    AddContent(STR::MENU_RETURN);
    AddContent(STR::CANCEL);
    AddContent(STR::OK);
    SetStartPage();
}

void CMenuFormat::OnInit(ipc_msg_t& msg)
{
    // Back from the message box the dialog keeps the request it was opened with.
    if (FormatRequest::CallerOf(msg.param1) != WND::MESSAGE_BOX)
        _format = FormatRequest::FlagOf(msg.param1);
    SetCaller(FormatRequest::CallerOf(msg.param1));
    Log()->Print("[CMenuFormat]OnInit, _caller:%d, _format:0x%08X\n", _caller, static_cast<unsigned>(_format));
    ShowTexts(IsSdCardMedium() ? STR::FORMAT_SD : STR::FORMAT_INTERNAL_MEMORY);
    Repaint();
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

void CMenuFormat::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::FORMAT_CHEKC_CARD || !IsSdCardMedium())
        return;
    if (!DoesDeviceExist())
        CloseTo(_caller);
    else
        SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

void CMenuFormat::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_OK) {
        OnOk(GetStringIdOfFocusedButton());
    } else if (msg.param1 == PARAM1::KEY_MENU) {
        Log()->Print("[CMenuFormat]KEY_MENU pressed, closing\n");
        CloseTo(WND::PREVIOUS_MENU);
    }
}

void CMenuFormat::OnOk(STR::ID item)
{
    switch (item) {
    case STR::OK:
        RequestFormat(_format, "[CMenuFormat]OK selected, closing\n", "[CMenuFormat]under 16G, closing\n");
        break;
    case STR::CANCEL:
        Log()->Print("[CMenuFormat]CANCEL selected, closing\n");
        CloseTo(_caller);
        break;
    case STR::MENU_RETURN:
        PostMenuKey();
        break;
    case STR::HOME:
        Log()->Print("[CMenuFormat]Back to Liveview\n");
        BackToLiveview();
        break;
    default:
        VK_ASSERT_REPORT("[CMenuFormat]Invalid string id");
    }
}

bool CForcedFormat::_parkingShutdownArmed = false;

CForcedFormat::CForcedFormat(WND::ID wnd) : FormatDialog(wnd, 1, "[CForcedFormat]")
{
    AddContent(STR::OK_ENG);
    SetStartPage();
}

void CForcedFormat::OnInit(ipc_msg_t&)
{
    Log()->Print("[CForcedFormat]OnInit\n");
    ShowTexts(STR::FORMAT_REQUIRED_FOR_RECORDING);
    Repaint();
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

void CForcedFormat::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    if (GetStringIdOfFocusedButton() != STR::OK_ENG)
        VK_ASSERT_REPORT("[CForcedFormat]Invalid string id");
    RequestFormat(FormatRequest::USE_CURRENT, "[CForcedFormat]OK selected, closing\n", nullptr);
}

void CForcedFormat::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::FORMAT_CHEKC_CARD) {
        OnCheckCard();
    } else if (msg.param1 == TIMER::NO_SDCARD_IN_PARKING_MODE) {
        Log()->Print("[CForcedFormat]NO_SDCARD_IN_PARKING_MODE... go to shutdown\n");
        UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, 0, 0, nullptr);
    }
}

void CForcedFormat::OnCheckCard()
{
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
    if (IsSdCardMedium() && !DoesDeviceExist())
        CloseTo(WND::LIVEVIEW);
    if (Singleton<CMainDvr>::Inst()->IsParkingMode() && !_parkingShutdownArmed) {
        _parkingShutdownArmed = true;
        SetTimer(TIMER::NO_SDCARD_IN_PARKING_MODE, PARKING_SHUTDOWN_MS);
        Log()->Print("[CForcedFormat]NO_SDCARD_IN_PARKING_MODE... wait for 60 sec\n");
    }
}

} // namespace vk
