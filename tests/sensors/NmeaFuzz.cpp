// libFuzzer target: arbitrary bytes on the GPS line, through the framer, the
// validity test and every parser (the service modes' set), with the satellite
// report on so that it runs too.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/GPS.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

vk::GPS* Receiver()
{
    static vk::GPS* gps = [] {
        vk::UIQueue::Inst()->Init();
        // The bus handles live for the process; closed at exit, before the leak check.
        std::atexit([] { vk::UIQueue::Inst()->Finalize(); });
        vk::GPS* receiver = vk::Singleton<vk::GPS>::Inst();
        // Once: the clock is set once per parser, and that waits 100 ms.
        receiver->Init(true);
        receiver->SetSendSateliiteInfo();
        // The per-satellite messages wait 10 ms each: too slow for fuzzing.
        receiver->DisableSendMeesageToApp();
        return receiver;
    }();
    return gps;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    vk::GPS* gps = Receiver();
    for (size_t i = 0; i < size; ++i)
        gps->HandleByte(static_cast<char>(data[i]));
    return 0;
}
