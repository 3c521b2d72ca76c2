// The message bus: records, ordering per sender, time-outs, and the singletons under it.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class Bus : public ::testing::Test {
protected:
    void SetUp() override { vk::UIQueue::Inst()->Init(); }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    static bool Receive(ipc_msg_t& msg, int timeoutMs = 100)
    {
        return vk::UIQueue::Inst()->RecvMessage(msg, timeoutMs) > 0;
    }
};

TEST_F(Bus, RecordArrivesWithItsDefaults)
{
    vk::UIQueue::Inst()->SendMessage(vk::WND::ANY, vk::WM::BUTTON, vk::PARAM1::KEY_OK);
    ipc_msg_t msg;
    ASSERT_EQ(vk::UIQueue::Inst()->RecvMessage(msg, 100), static_cast<int>(sizeof(ipc_msg_t)));
    EXPECT_EQ(msg.wnd, 347);
    EXPECT_EQ(msg.cmd, 1008);
    EXPECT_EQ(msg.param1, 7);
    EXPECT_EQ(msg.param2, 0);
    EXPECT_EQ(msg.ptr, nullptr);
}

TEST_F(Bus, TouchPointTravelsPacked)
{
    const int x = 100;
    const int y = 200;
    vk::UIQueue::Inst()->SendMessage(vk::WND::ANY, vk::WM::BUTTON, vk::PARAM1::TOUCH, x << 12 | y);
    ipc_msg_t msg;
    ASSERT_TRUE(Receive(msg));
    EXPECT_EQ(msg.param2, 409800);
}

TEST_F(Bus, MessagesFromSeveralThreadsArriveIntactAndInOrder)
{
    const int senders = 4;
    const int perSender = 25;
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([s] {
            for (int i = 0; i < perSender; ++i) {
                vk::UIQueue::Inst()->SendMessage(vk::WND::LIVEVIEW, vk::WM::UPDATE, s, i, reinterpret_cast<void*>(s * 1000 + i));
            }
        });
    }
    std::map<int, int> next;
    int received = 0;
    ipc_msg_t msg;
    while (received < senders * perSender && Receive(msg, 500)) {
        ++received;
        EXPECT_EQ(msg.wnd, vk::WND::LIVEVIEW);
        EXPECT_EQ(msg.cmd, vk::WM::UPDATE);
        EXPECT_EQ(msg.param2, next[msg.param1]++) << "sender " << msg.param1;
        EXPECT_EQ(reinterpret_cast<intptr_t>(msg.ptr), msg.param1 * 1000 + msg.param2);
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(received, senders * perSender);
}

// The kernel queues only a few datagrams: a flood waits for the reader a
// short while, and what still cannot go is logged, never dropped unseen.
TEST_F(Bus, AFloodIsDeliveredOrLoggedMessageByMessage)
{
    const struct {
        const char* reader;
        int messages;
        int readerStartsAfterMs; // -1: only once the sender is done
        int pauseMs; // between two receives
        bool allDelivered;
    } cases[] = {
        { "slow", 100, 0, 5, true },
        { "away", 14, -1, 0, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reader);
        testing::internal::CaptureStdout();
        std::atomic<bool> sent { false };
        std::thread sender([&] {
            for (int i = 0; i < c.messages; ++i)
                vk::UIQueue::Inst()->SendMessage(vk::WND::LIVEVIEW, vk::WM::UPDATE, i);
            sent = true;
        });
        while (c.readerStartsAfterMs < 0 && !sent)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<bool> seen(c.messages);
        ipc_msg_t msg;
        while (Receive(msg, 300)) {
            seen.at(msg.param1) = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
        }
        sender.join();
        std::string log = testing::internal::GetCapturedStdout();
        for (int i = 0; i < c.messages; ++i) {
            std::string line = "[ipc]message lost, /tmp/uds_11: wnd 1001, cmd 1002, param1 " + std::to_string(i) + " (";
            bool logged = log.find(line) != std::string::npos;
            EXPECT_NE(seen[i], logged) << "message " << i << " delivered or logged, once";
            EXPECT_TRUE(seen[i] || !c.allDelivered) << "message " << i;
        }
        EXPECT_EQ(log.find("[ipc]message lost") != std::string::npos, !c.allDelivered);
    }
}

TEST_F(Bus, ReceiveTimesOutWhenNothingCame)
{
    const struct {
        int timeoutMs;
    } cases[] = { { 100 }, { 1500 } }; // a second or more must still wait, not fail at once
    for (const auto& c : cases) {
        ipc_msg_t msg;
        auto start = Clock::now();
        EXPECT_EQ(vk::UIQueue::Inst()->RecvMessage(msg, c.timeoutMs), -1);
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_GE(waited, c.timeoutMs - 10);
    }
}

TEST(BusStart, StaleSocketFileDoesNotStopTheReceiver)
{
    std::ofstream("/tmp/uds_11") << "left by an earlier run";
    vk::UIQueue::Inst()->Init();
    vk::UIQueue::Inst()->SendMessage(vk::WND::CMAIN_DVR, vk::WM::EXIT);
    ipc_msg_t msg;
    EXPECT_GT(vk::UIQueue::Inst()->RecvMessage(msg, 100), 0);
    EXPECT_EQ(msg.cmd, vk::WM::EXIT);
    vk::UIQueue::Inst()->Finalize();
}

struct Counted : vk::Singleton<Counted> {
    Counted()
    {
        ++constructions;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int Depth(int n)
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        return n == 0 ? 0 : 1 + Depth(n - 1);
    }
    static std::atomic<int> constructions;
};
std::atomic<int> Counted::constructions { 0 };

TEST(Singleton, ConcurrentFirstUseBuildsOneInstance)
{
    Counted* seen[8] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = Counted::Inst(); });
    for (std::thread& t : threads)
        t.join();
    for (Counted* instance : seen)
        EXPECT_EQ(instance, seen[0]);
    EXPECT_EQ(Counted::constructions, 1);
    EXPECT_EQ(seen[0]->Depth(3), 3) << "a locked method calling another must not deadlock";
}

} // namespace
