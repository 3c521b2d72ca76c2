#include "dashrec/menus/CardWarnings.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/LED.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/CVersion.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/menus/MenuHelpers.h"

#include <cstdio>

namespace vk {

namespace {

Storage* Devices()
{
    return Singleton<Storage>::Inst();
}

} // namespace

void CardWarning::Enter()
{
    _sound = true;
    _checkCount = 0;
    Paint();
    SetTimer(TIMER::FORMAT_CHEKC_CARD, TICK_MS);
    Singleton<LED>::Inst()->Set(LED::ERROR);
    Singleton<CMainDvr>::Inst()->TurnOnLcd();
}

bool CardWarning::IsOwnTick(const ipc_msg_t& msg) const
{
    return msg.wnd == _wnd && msg.param1 == TIMER::FORMAT_CHEKC_CARD;
}

void CardWarning::CountTick()
{
    if (_checkCount % SOUND_EVERY_TICKS == 0 && _sound)
        Singleton<Sound>::Inst()->Play(Sound::change_sd);
    ++_checkCount;
}

void SDWriteError::OnInit(ipc_msg_t&)
{
    Log("Entered\n");
    Enter();
}

void SDWriteError::OnTimer(ipc_msg_t& msg)
{
    if (!IsOwnTick(msg))
        return;
    if (Singleton<CMainDvr>::Inst()->IsParkingMode()) {
        Log("Parking Mode-Power-off\n");
        UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, 0, 0, nullptr);
    }
    CountTick();
    if (!Devices()->IsSdCardInserted() && !Devices()->IsSdCardDetected())
        Close(WND::LIVEVIEW, 0);
    else
        SetTimer(TIMER::FORMAT_CHEKC_CARD, TICK_MS);
}

// No click: the warning's own voice is playing.
void SDWriteError::OnButton(ipc_msg_t& msg)
{
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    Log("KEY_OK - formatting\n");
    Close(WND::FORMATTING, FormatRequest::USE_CURRENT);
}

void SDExchange::OnInit(ipc_msg_t&)
{
    Log("Entered\n");
    Enter();
}

void SDExchange::OnTimer(ipc_msg_t& msg)
{
    if (!IsOwnTick(msg))
        return;
    CountTick();
    if (Devices()->DoesDeviceExist() && _checkCount < MAX_TICKS)
        SetTimer(TIMER::FORMAT_CHEKC_CARD, TICK_MS);
    else
        Close(WND::LIVEVIEW, 0);
}

bool SDExchange::OnItem(STR::ID item)
{
    if (item != STR::OK_ENG)
        return false;
    _sound = false;
    Log("KEY_OK - sound off\n");
    Close(WND::LIVEVIEW, 0);
    return true;
}

void BootingCountTest::OnInit(ipc_msg_t&)
{
    Log("Entered\n");
    Enter();
    Pref* pref = Singleton<Pref>::Inst();
    std::snprintf(_str_version, sizeof(_str_version), "%s", ModelVersion().c_str());
    std::snprintf(_str_count, sizeof(_str_count), "Booting Count = %d", pref->GetBootingCount());
    menus::BindText(*this, ID_VERSION_LINE, _str_version, "txt != nullptr");
    menus::BindText(*this, ID_COUNT_LINE, _str_count, "txt != nullptr");
    pref->IncreaseBootingCount();
    pref->Save();
}

void BootingCountTest::OnTimer(ipc_msg_t& msg)
{
    if (!IsOwnTick(msg))
        return;
    if (++_checkCount < MAX_TICKS)
        SetTimer(TIMER::FORMAT_CHEKC_CARD, TICK_MS);
    else
        Close(WND::LIVEVIEW, 0);
}

bool BootingCountTest::OnItem(STR::ID item)
{
    if (item != STR::OK)
        return false;
    Log("KEY_OK - sound off\n");
    Singleton<Pref>::Inst()->ResetBootingCount();
    Singleton<Pref>::Inst()->Save();
    Close(WND::LIVEVIEW, 0);
    return true;
}

} // namespace vk
