// Clock channels of the host platform. The display shows each picture when it
// is sent, so a clock only has to exist and keep its event handler.

#include "mpp_comm/soc_clock.h"

#include "host/soc/SocErrors.h"

#include <array>
#include <mutex>

namespace {

constexpr int kChannels = 16;

int ClockError(soc::Reason r)
{
    return soc::Error(soc::Module::Clock, r);
}

struct ClockChannel {
    bool exists = false;
    CLOCK_CHN_ATTR_S attr = {};
    SOC_CALLBACK_S callback = {nullptr, nullptr};
};

struct Registry {
    std::mutex mutex;
    std::array<ClockChannel, kChannels> channels;
};

Registry& Reg()
{
    static Registry* r = new Registry; // never destroyed, like the other families
    return *r;
}

} // namespace

extern "C" {

int SOC_MPI_CLOCK_CreateChn(int chn, const CLOCK_CHN_ATTR_S* pAttr)
{
    if (chn < 0 || chn >= kChannels)
        return ClockError(soc::Reason::InvalidId);
    if (pAttr == nullptr)
        return ClockError(soc::Reason::NullPtr);
    if (!soc::SysReady())
        return ClockError(soc::Reason::NotReady);
    std::lock_guard<std::mutex> lock(Reg().mutex);
    ClockChannel& c = Reg().channels[chn];
    if (c.exists)
        return static_cast<int>(SOC_ERR_CLOCK_EXIST);
    c = ClockChannel{true, *pAttr, {nullptr, nullptr}};
    return 0;
}

int SOC_MPI_CLOCK_DestroyChn(int chn)
{
    if (chn < 0 || chn >= kChannels)
        return ClockError(soc::Reason::InvalidId);
    std::lock_guard<std::mutex> lock(Reg().mutex);
    ClockChannel& c = Reg().channels[chn];
    if (!c.exists)
        return ClockError(soc::Reason::Unexist);
    c = ClockChannel{};
    return 0;
}

int SOC_MPI_CLOCK_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback)
{
    if (chn < 0 || chn >= kChannels)
        return ClockError(soc::Reason::InvalidId);
    if (pCallback == nullptr)
        return ClockError(soc::Reason::NullPtr);
    std::lock_guard<std::mutex> lock(Reg().mutex);
    ClockChannel& c = Reg().channels[chn];
    if (!c.exists)
        return ClockError(soc::Reason::Unexist);
    c.callback = *pCallback;
    return 0;
}

} // extern "C"
