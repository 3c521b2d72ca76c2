#include "dashrec/modes/CMainGpsUpdate.h"

#include "dashrec/devices/Micom.h"
#include "dashrec/modes/GpsUpdate.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace vk {

void CMainGpsUpdate::Initialize(bool)
{
    Singleton<GpsUpdate>::Inst()->Init();
}

void CMainGpsUpdate::Start()
{
    Micom* micom = Singleton<Micom>::Inst();
    micom->Start();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    micom->SendWDTDisable();
    Singleton<GpsUpdate>::Inst()->Start();
    for (int count = 0;; ++count) {
        std::printf("GpsUpdate test %d\n", count);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(10));
    }
}

} // namespace vk
