#pragma once
// What the detectors posted to the bus, as tests compare it.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"

#include <ostream>
#include <tuple>
#include <vector>

namespace devtest {

struct Posted {
    int wnd;
    int cmd;
    int param1;
    int param2;
    bool operator==(const Posted& o) const
    {
        return std::tie(wnd, cmd, param1, param2) == std::tie(o.wnd, o.cmd, o.param1, o.param2);
    }
};

// A detector's event: to every window, nothing in param2.
inline Posted ToAny(int cmd, int param1)
{
    return { vk::WND::ANY, cmd, param1, 0 };
}

inline std::ostream& operator<<(std::ostream& out, const Posted& p)
{
    return out << "{wnd " << p.wnd << ", cmd " << p.cmd << ", " << p.param1 << ", " << p.param2 << "}";
}

// Every message waiting on the bus, after waiting up to timeoutMs for the first.
inline std::vector<Posted> TakePosted(int timeoutMs = 0)
{
    std::vector<Posted> posted;
    ipc_msg_t msg;
    while (vk::UIQueue::Inst()->RecvMessage(msg, timeoutMs) > 0) {
        posted.push_back({ msg.wnd, msg.cmd, msg.param1, msg.param2 });
        timeoutMs = 0;
    }
    return posted;
}

} // namespace devtest
