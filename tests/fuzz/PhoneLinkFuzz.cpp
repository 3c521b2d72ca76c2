// libFuzzer target: arbitrary bytes from a phone on loopback, through the
// phone-link server's framing, its commands and what the phone app does with
// their arguments (preferences, clock, recordings, card), inside the sandbox.
// Each input is followed by "}" (ending a command it left open) and one
// {get_version}, whose reply shows that everything before it was served.

#include "ChipFiles.h"
#include "PhoneClient.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/MobileApp.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using vk::MobileApp;
using vk::Singleton;

MobileApp* App()
{
    static MobileApp* app = [] {
        chips::UseBoard("/dev/i2c-2 24lc16\n/dev/i2c-2 isl1208\n");
        vk::Pref* pref = Singleton<vk::Pref>::Inst();
        pref->Init();
        pref->SetSdCardRecording();
        if (!Singleton<vk::Rtc>::Inst()->Init())
            std::abort();
        vk::UIQueue::Inst()->Init();
        std::atexit([] {
            Singleton<MobileApp>::Inst()->Stop();
            vk::UIQueue::Inst()->Finalize();
        });
        MobileApp* made = Singleton<MobileApp>::Inst();
        made->Init();
        made->SetServerTiming({ 0, BmNet::IDLE_LIMIT_SEC });
        return made;
    }();
    return app;
}

// A phone connected to a running server; a command may have ended the server.
PhoneClient& Phone()
{
    static PhoneClient phone;
    if (phone.Fd() < 0) {
        MobileApp* app = App();
        app->Stop();
        if (!app->Start() || !phone.Connect(MobileApp::PORT))
            std::abort();
    }
    return phone;
}

// The bus is read away as the device's windows would.
void DrainBus()
{
    ipc_msg_t msg;
    while (vk::UIQueue::Inst()->RecvMessage(msg, 0) > 0) {
    }
}

// True once the marking reply came; false when the server ended the
// connection first or told the phone {close}, after which a phone leaves.
// A server that does none of these hangs: that aborts.
bool Served(PhoneClient& phone)
{
    for (;;) {
        std::string reply = phone.Reply(20000);
        if (reply.rfind("{get_version,", 0) == 0)
            return true;
        if (reply == "{close}")
            return false;
        if (reply.empty()) {
            if (!phone.ClosedByDevice(0))
                std::abort();
            return false;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PhoneClient& phone = Phone();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes += "}{get_version}";
    if (!phone.Send(bytes) || !Served(phone))
        phone.Close();
    DrainBus();
    return 0;
}
