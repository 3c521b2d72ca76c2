#include "dashrec/modes/CMainDeveloper.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/devices/TouchSensor.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vk {

CMainDeveloper::CMainDeveloper()
    : ServiceMode(WND::CMAIN_DEVELOPER, "CMainDeveloper")
{
}

void CMainDeveloper::Initialize(bool)
{
    Singleton<GPS>::Inst()->Init(true);
    Singleton<UITimer>::Inst()->Init(10);
    UIQueue::Inst()->Init();
    Singleton<Resource>::Inst()->Init(480, 320, 1);
    Singleton<PollingGpio>::Inst()->Init(0);
    Singleton<KeyboardOp>::Inst()->Init();
    Singleton<TouchSensor>::Inst()->Init();
    _pLedStateRed = std::make_shared<GPIO_OUT>(GPIO_LED_FIX, "/sys/class/gpio");
    _pLedStateRed->SetOff();
}

void CMainDeveloper::Start()
{
    Singleton<GPS>::Inst()->Start();
    Singleton<Micom>::Inst()->Start();
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<PollingGpio>::Inst()->Start();
    Singleton<TouchSensor>::Inst()->Start();
    _running = true;
    SendMessage(WM::INIT);
    Singleton<Micom>::Inst()->SendStart();
    Singleton<Resource>::Inst()->SetPage(GetWindowId());
    DisableWatchdogAfterStart();
    RunLoop();
}

void CMainDeveloper::Finalize()
{
    Singleton<GPS>::Inst()->Finalize();
    Singleton<Pref>::Inst()->Finalize();
    Singleton<Micom>::Inst()->Finalize();
    Singleton<UITimer>::Inst()->Finalize();
    UIQueue::Inst()->Finalize();
    Singleton<Resource>::Inst()->Finalize();
    Singleton<PollingGpio>::Inst()->Finalize();
    Singleton<KeyboardOp>::Inst()->Finalize();
    Singleton<TouchSensor>::Inst()->Finalize();
    std::this_thread::sleep_for(std::chrono::seconds(1));
}

void CMainDeveloper::Dispatch(ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::SATELLITE_UPDATE_BEGIN:
        OnSatUpdateBegin(msg);
        break;
    case WM::SATELLITE_SNR_UPDATE:
        OnSatSnrUpdate(msg);
        break;
    case WM::SATELLITE_ACTIVE_UPDATE:
        OnSatActiveUpdate(msg);
        break;
    case WM::SATELLITE_UPDATE_END:
        OnSatUpdateEnd(msg);
        break;
    default:
        // The frame's table; keys reach a handler that does nothing here.
        ServiceMode::Dispatch(msg);
        break;
    }
}

void CMainDeveloper::OnInit(ipc_msg_t&)
{
    std::printf("[CMainDeveloper]Entered\n");
    _draw = false;
    if (_signalbars.empty()) {
        for (int id = 0; id < MAX_BUTTON; ++id)
            _signalbars.push_back(std::make_shared<SignalBar>(id));
    }
    for (auto& bar : _signalbars) {
        bar->SetSatellite(0);
        bar->SetStrength(0);
        bar->Show();
    }
    SendMessage(WM::PAINT);
    Singleton<GPS>::Inst()->SetSendSateliiteInfo();
    SetTimer(TIMER::UPDATE_VIEW, UPDATE_TIMER);
}

void CMainDeveloper::OnTimer(ipc_msg_t& msg)
{
    if (msg.wnd != GetWindowId()) {
        std::printf("[CMainDeveloper]Menu ID:%d, Timer ID:%d\n", msg.wnd, msg.param1);
        return;
    }
    if (msg.param1 != TIMER::UPDATE_VIEW)
        return;
    SendMessage(WM::PAINT);
    SetTimer(TIMER::UPDATE_VIEW, UPDATE_TIMER);
}

void CMainDeveloper::OnGps(ipc_msg_t& msg)
{
    bool fix = msg.param1 != 0;
    if (fix == _fix)
        return;
    _fix = fix;
    if (!fix) {
        _pLedStateRed->SetOff();
        return;
    }
    _pLedStateRed->SetOn();
    std::system(FIX_SOUND);
}

void CMainDeveloper::OnSatUpdateBegin(ipc_msg_t&)
{
    for (auto& bar : _signalbars)
        bar->Reset();
}

void CMainDeveloper::OnSatSnrUpdate(ipc_msg_t& msg)
{
    std::printf("[CMainDeveloper]OnSatSnrUpdate - sat:%d, snr:%d\n", msg.param1, msg.param2);
    SignalBar* bar = FindBar(msg.param1);
    if (bar == nullptr) {
        bar = FindBar(0);
        if (bar == nullptr)
            return;
        bar->SetSatellite(msg.param1);
    }
    bar->SetStrength(msg.param2);
}

void CMainDeveloper::OnSatActiveUpdate(ipc_msg_t& msg)
{
    if (msg.param2 == 0)
        return;
    SignalBar* bar = FindBar(msg.param1);
    if (bar == nullptr)
        return;
    bar->SetActive();
    std::printf("[CMainDeveloper]OnSatActiveUpdate - sat:%d\n", msg.param1);
}

void CMainDeveloper::OnSatUpdateEnd(ipc_msg_t&)
{
    for (auto& bar : _signalbars) {
        bar->Show();
        if (bar->GetSatellite() == 0)
            bar->SetStrength(0);
        std::printf("[CMainDeveloper]sat:%d, str:%d, active:%s\n", bar->GetSatellite(), bar->GetStrength(),
            bar->GetActive() ? "true" : "false");
    }
    if (!_draw) {
        _draw = true;
        return;
    }
    SendMessage(WM::PAINT);
    _draw = false;
}

CMainDeveloper::SignalBar* CMainDeveloper::FindBar(int satellite)
{
    for (auto& bar : _signalbars) {
        if (bar->GetSatellite() == satellite)
            return bar.get();
    }
    return nullptr;
}

} // namespace vk
