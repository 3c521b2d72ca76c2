#include "dashrec/menus/FormatDialogs.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"

namespace vk {

namespace {

bool DoesDeviceExist()
{
    return Singleton<Storage>::Inst()->DoesDeviceExist();
}

} // namespace

void FormatDialog::ShowTexts(STR::ID title)
{
    bool sd = IsSdCardMedium();
    SetText(ID_MESSAGE_1, title, "msg1 != nullptr");
    SetText(ID_MESSAGE_2, sd ? STR::SD_ALL_FILE_DELETE : STR::MEMROY_ALL_FILE_DELETE, "msg2 != nullptr");
    SetText(ID_MESSAGE_3, STR::RESTART_AFTER_FORMAT, "msg3 != nullptr");
}

void FormatDialog::RequestFormat(int request, bool logSmall)
{
    if (IsSdCardMedium()) {
        if (!DoesDeviceExist())
            return;
        if (!IsSdCardLargeEnough()) {
            if (logSmall)
                Log("under 16G, closing\n");
            Singleton<CMainDvr>::Inst()->SetMessageBox(STR::USE_16GB_OR_MORE, _wnd);
            return;
        }
    }
    Log("OK selected, closing\n");
    Close(WND::FORMATTING, request);
}

CMenuFormat::CMenuFormat(WND::ID wnd)
    : FormatDialog(wnd, "CMenuFormat", { STR::HOME, STR::MENU_RETURN, STR::CANCEL, STR::OK })
{
}

void CMenuFormat::OnInit(ipc_msg_t& msg)
{
    // Back from the message box the dialog keeps the request it was opened with.
    if (FormatRequest::CallerOf(msg.param1) != WND::MESSAGE_BOX)
        _format = FormatRequest::FlagOf(msg.param1);
    SetCaller(FormatRequest::CallerOf(msg.param1));
    Log("OnInit, _caller:%d, _format:0x%08X\n", _caller, static_cast<unsigned>(_format));
    ShowTexts(IsSdCardMedium() ? STR::FORMAT_SD : STR::FORMAT_INTERNAL_MEMORY);
    Paint();
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

// The card is watched only while it is the medium.
void CMenuFormat::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::FORMAT_CHEKC_CARD || !IsSdCardMedium())
        return;
    if (!DoesDeviceExist())
        Close(_caller);
    else
        SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

bool CMenuFormat::OnItem(STR::ID item)
{
    switch (item) {
    case STR::OK:
        RequestFormat(_format, true);
        return true;
    case STR::CANCEL:
        Log("CANCEL selected, closing\n");
        Close(_caller);
        return true;
    default:
        return false;
    }
}

bool CForcedFormat::_parkingShutdownArmed = false;

CForcedFormat::CForcedFormat(WND::ID wnd) : FormatDialog(wnd, "CForcedFormat", { STR::OK_ENG })
{
}

void CForcedFormat::OnInit(ipc_msg_t&)
{
    Log("OnInit\n");
    ShowTexts(STR::FORMAT_REQUIRED_FOR_RECORDING);
    Paint();
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
}

bool CForcedFormat::OnItem(STR::ID item)
{
    if (item != STR::OK_ENG)
        return false;
    RequestFormat(FormatRequest::USE_CURRENT, false);
    return true;
}

void CForcedFormat::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::FORMAT_CHEKC_CARD) {
        OnCheckCard();
    } else if (msg.param1 == TIMER::NO_SDCARD_IN_PARKING_MODE) {
        Log("NO_SDCARD_IN_PARKING_MODE... go to shutdown\n");
        UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, 0, 0, nullptr);
    }
}

void CForcedFormat::OnCheckCard()
{
    SetTimer(TIMER::FORMAT_CHEKC_CARD, CHECK_CARD_MS);
    if (IsSdCardMedium() && !DoesDeviceExist())
        Close(WND::LIVEVIEW);
    if (Singleton<CMainDvr>::Inst()->IsParkingMode() && !_parkingShutdownArmed) {
        _parkingShutdownArmed = true;
        SetTimer(TIMER::NO_SDCARD_IN_PARKING_MODE, PARKING_SHUTDOWN_MS);
        Log("NO_SDCARD_IN_PARKING_MODE... wait for 60 sec\n");
    }
}

} // namespace vk
