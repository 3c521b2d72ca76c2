#pragma once
// The test thread as the run mode's main loop: it receives every message from
// the bus, hands it to Dispatch and keeps what it saw. The menu fixtures
// differ only in what they do with a message and which windows are real.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/ipc.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UIObject.h"
#include "dashrec/ui/UITimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

namespace menutest {

using Match = std::function<bool(const ipc_msg_t&)>;

// A message to `wnd` with command `cmd`, and with `param1` unless that is -1.
inline Match Is(int wnd, int cmd, int param1 = -1)
{
    return [=](const ipc_msg_t& m) { return m.wnd == wnd && m.cmd == cmd && (param1 == -1 || m.param1 == param1); };
}

class BusLoop : public ::testing::Test {
protected:
    void TearDown() override
    {
        vk::Singleton<vk::UITimer>::Inst()->Finalize();
        vk::UIQueue::Inst()->Finalize();
        vk::Resource::Inst()->Finalize();
    }

    // What the run mode would do with a message taken from the bus.
    virtual void Dispatch(ipc_msg_t& msg) = 0;

    void Post(int wnd, int cmd, int param1 = 0, int param2 = 0)
    {
        vk::UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2, nullptr);
    }

    // Handles messages until one that matches has been handled; false once the
    // bus has been idle for `timeoutMs` in all, so that a busy machine is
    // waited for, or a bus that never rests has run four times as long.
    bool PumpUntil(const Match& done, int timeoutMs = 3000)
    {
        auto end = std::chrono::steady_clock::now() + 4 * std::chrono::milliseconds(timeoutMs);
        for (int idle = 0; idle < timeoutMs && std::chrono::steady_clock::now() < end;) {
            ipc_msg_t msg {};
            if (vk::UIQueue::Inst()->RecvMessage(msg, IDLE_STEP_MS) <= 0) {
                idle += IDLE_STEP_MS;
                continue;
            }
            Dispatch(msg);
            seen.push_back(msg);
            if (done(msg))
                return true;
        }
        return false;
    }

    void PumpFor(int ms)
    {
        PumpUntil([](const ipc_msg_t&) { return false; }, ms);
    }

    obj_common* Object(int wnd, int id) { return vk::Resource::Inst()->GetStateComponent(wnd, id); }

    // The language text shown by text object `id`, -1 when there is none.
    int TextId(int wnd, int id)
    {
        obj_common* obj = Object(wnd, id);
        if (obj == nullptr || obj->obj_type != obj_common::TEXT)
            return -1;
        return static_cast<obj_text*>(obj)->text_id;
    }

    std::vector<ipc_msg_t> seen;

private:
    static constexpr int IDLE_STEP_MS = 20;
};

} // namespace menutest
