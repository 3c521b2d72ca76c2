#include "dashrec/dvr/ApMode.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/dvr/MobileList.h"
#include "dashrec/menus/MenuHelpers.h"

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

void ApMode::OnMessage(ipc_msg_t& msg)
{
    if (!menus::DispatchBasic(*this, msg) && msg.cmd == WM::TIMER)
        OnTimer(msg);
}

void ApMode::WakeScreen()
{
    Singleton<CMainDvr>::Inst()->TurnOnLcd();
    if (Singleton<Pref>::Inst()->GetLCDDisplay() == SYSTEM::DISPLAY::OFF) {
        _lcdoffTime = Pref::LCD_OFF_TIME_MS;
        SetTimer(TIMER::APMODE_TURN_OFF_LCD, _lcdoffTime);
    }
}

void ApMode::OnInit(ipc_msg_t& msg)
{
    _mount = msg.param1 != 0;
    WakeScreen();
    Log()->Print("ApMode::OnInit _mount:%d\n", _mount);
    SendMessage(_wnd, WM::PAINT, 0, 0);
    if (!_mount)
        return;
    Singleton<FileLoop>::Inst()->Unmount();
    Singleton<MobileList>::Inst()->Read();
}

void ApMode::OnClose(ipc_msg_t& msg)
{
    if (msg.param1 == WND::APMODE) {
        Log()->Print("ApMode to ApMode, reject\n");
        return;
    }
    Log()->Print("ApMode::OnClose _mount:%d\n", _mount);
    if (_mount) {
        Singleton<FileLoop>::Inst()->Mount();
        Singleton<MobileList>::Inst()->Clear();
    }
    MessageHandler::OnClose(msg);
}

void ApMode::OnButton(ipc_msg_t& msg)
{
    WakeScreen();
    if (msg.param1 != PARAM1::KEY_DOWN)
        return;
    SendMessage(WND::CMAIN_DVR, WM::WIFI, 0, 0);
    SendMessage(_wnd, WM::CLOSE, WND::LIVEVIEW, _wnd);
}

void ApMode::OnTimer(ipc_msg_t& msg)
{
    CMainDvr* dvr = Singleton<CMainDvr>::Inst();
    if (msg.param1 == TIMER::APMODE_TURN_OFF_LCD && dvr->IsLcdOn())
        dvr->TurnOffLcd();
}

} // namespace vk
