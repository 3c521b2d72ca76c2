#include "dashrec/modes/CMainHdmi.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/ui/Resource.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace vk {

namespace {

char* NoFileName(CameraPosition, RecordType)
{
    return nullptr;
}

void IgnoreError(CameraPosition, RecordType, BmError, std::string)
{
}

void IgnoreMotion(CameraPosition, int)
{
}

} // namespace

void CMainHdmi::Initialize(bool)
{
    BmWorks* engine = BmWorks::Inst();
    engine->mHdmiMode = true;
    engine->Init(nullptr);
    engine->SetWallClock(WallClockSeconds);
    engine->SetFps(F30);
    engine->SetHdr(true);
    engine->SetNewFileNameCallback(NoFileName);
    engine->SetErrorCallback(IgnoreError);
    engine->SetMotionDetectCallback(IgnoreMotion);
    engine->Start(Front);
    engine->RunVideoOut(Front);
    Singleton<Resource>::Inst()->Init(480, 320, true);
}

void CMainHdmi::Start()
{
    Micom* micom = Singleton<Micom>::Inst();
    micom->Start();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    micom->SendWDTDisable();
    for (int count = 0;; ++count) {
        std::printf("HDMI test %d\n", count);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(10));
    }
}

} // namespace vk
