#include "dashrec/dvr/CMainDvr.h"

#include "dashrec/core/CLogger.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/ProcessEnd.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/UITimer.h"

#include <cstdlib>

namespace vk {

const std::string CMainDvr::PATH_HOSTAPD_CONF = std::string("/tmp/") + "apd.cfg";

void CMainDvr::Initialize(bool)
{
    UIQueue::Inst()->Init();
    Singleton<UITimer>::Inst()->Init(10);
}

void CMainDvr::Start()
{
    Singleton<UITimer>::Inst()->Start();
    Singleton<SDDebug>::Inst()->Print("[CMainDvr]Start\n");
    ipc_msg_t msg;
    do {
        msg = ipc_msg_t();
    } while (UIQueue::Inst()->RecvMessage(msg, MAIN_LOOP_RECEIVE_MS) <= 0 || OnMessage(msg));
}

bool CMainDvr::OnMessage(const ipc_msg_t& msg)
{
    if (msg.cmd == WM::EXIT) {
        Singleton<SDDebug>::Inst()->Print("[CMainDvr]EXIT\n");
        return false;
    }
    return true;
}

void CMainDvr::Finalize()
{
    Singleton<UITimer>::Inst()->Finalize();
    UIQueue::Inst()->Finalize();
}

void CMainDvr::ResumeShowMenuTimer()
{
    Singleton<SDDebug>::Inst()->Print("[CMainDvr]ResumeShowMenuTimer\n");
    Singleton<UITimer>::Inst()->Set(WND::CMAIN_DVR, TIMER::CMAIN_DVR_SHOW_MENU, MENU_SHOW_TIME_COUNTER);
}

void CMainDvr::ExitToShell()
{
    Singleton<CLogger>::Inst()->Finalize();
    std::system("sync");
    EndProcess(0);
}

} // namespace vk
