// UI timers come back once, as TIMER messages to the window that set them.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/ui/UITimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using vk::TIMER::EVENT_RECORD_END;
using vk::TIMER::HIDE_MESSAGE_BOX;
using vk::WND::LIVEVIEW;
using vk::WND::MAINMENU;

const int TICK_MS = 10;
// A timer armed between two ticks counts the whole tick, and a loaded machine
// stretches a tick: it may come that much early.
const int EARLY_MS = 5 * TICK_MS;

struct Expiry {
    int wnd;
    int tid;
    long long afterMs;
};

class Timers : public ::testing::Test {
protected:
    void SetUp() override
    {
        vk::UIQueue::Inst()->Init();
        _timer->Init(TICK_MS);
        _timer->Start();
        _start = Clock::now();
    }
    void TearDown() override
    {
        _timer->Finalize();
        vk::UIQueue::Inst()->Finalize();
    }

    // Every TIMER message of the next `ms` milliseconds.
    std::vector<Expiry> Collect(int ms)
    {
        std::vector<Expiry> seen;
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            ipc_msg_t msg;
            if (vk::UIQueue::Inst()->RecvMessage(msg, 20) > 0 && msg.cmd == vk::WM::TIMER)
                seen.push_back({ msg.wnd, msg.param1, Since(_start) });
        }
        return seen;
    }

    static long long Since(Clock::time_point from)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
    }

    vk::UITimer* _timer = vk::UITimer::Inst();
    Clock::time_point _start;
};

TEST_F(Timers, OneShotComesBackOnceAfterItsTime)
{
    _timer->Set(LIVEVIEW, EVENT_RECORD_END, 200);
    std::vector<Expiry> seen = Collect(600);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wnd, LIVEVIEW);
    EXPECT_EQ(seen[0].tid, 12);
    EXPECT_GE(seen[0].afterMs, 200 - EARLY_MS);
}

TEST_F(Timers, SettingAgainRestartsIt)
{
    _timer->Set(LIVEVIEW, EVENT_RECORD_END, 200);
    Collect(100);
    _timer->Set(LIVEVIEW, EVENT_RECORD_END, 200);
    std::vector<Expiry> seen = Collect(600);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_GE(seen[0].afterMs, 300 - EARLY_MS);
}

TEST_F(Timers, SameIdFromTwoWindowsComesBackToEach)
{
    _timer->Set(LIVEVIEW, HIDE_MESSAGE_BOX, 50);
    _timer->Set(MAINMENU, HIDE_MESSAGE_BOX, 50);
    std::vector<Expiry> seen = Collect(300);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].wnd, LIVEVIEW) << "expiries of one tick keep the order they were armed in";
    EXPECT_EQ(seen[1].wnd, MAINMENU);
}

TEST_F(Timers, KillCancelsAndIgnoresWhatIsNotArmed)
{
    _timer->Kill(LIVEVIEW, EVENT_RECORD_END);
    _timer->Set(LIVEVIEW, EVENT_RECORD_END, 100);
    _timer->Kill(LIVEVIEW, EVENT_RECORD_END);
    _timer->Set(MAINMENU, HIDE_MESSAGE_BOX, 0);
    std::vector<Expiry> seen = Collect(300);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wnd, MAINMENU) << "a zero time expires on the next tick";
    EXPECT_LT(seen[0].afterMs, 100);
}

} // namespace
