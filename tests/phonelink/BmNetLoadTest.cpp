// The phone-link server under load on loopback: many short connections one
// after another and many phones at once. Bounded in count and time.

#include "PhoneClient.h"

#include "bmworks/BmNet.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::atomic<int> gDropped{0};

int OpenDescriptors()
{
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (readdir(folder))
        ++count;
    closedir(folder);
    return count;
}

bool Answers(PhoneClient& phone)
{
    return phone.Send("{get_version}") && phone.Reply() == "{get_version}";
}

// Waits until the server has dropped `count` phones in all.
bool DroppedReaches(int count)
{
    auto until = std::chrono::steady_clock::now() + 10s;
    while (gDropped < count && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    return gDropped >= count;
}

TEST(PhoneLinkLoad, ManyCyclesAndManyPhonesAtOnceLeaveNothingBehind)
{
    BmNet net;
    net.SetTiming({0, BmNet::IDLE_LIMIT_SEC});
    net.SetCloseCallback([] { ++gDropped; });
    ASSERT_EQ(net.Start(8584), 1);
    {
        PhoneClient phone;
        ASSERT_TRUE(phone.Connect());
        ASSERT_TRUE(Answers(phone));
    }
    ASSERT_TRUE(DroppedReaches(1));
    const int before = OpenDescriptors();

    const int cycles = 1000;
    int answered = 0;
    for (int i = 0; i < cycles; ++i) {
        PhoneClient phone;
        ASSERT_TRUE(phone.Connect());
        answered += Answers(phone) ? 1 : 0;
    }
    EXPECT_EQ(answered, cycles);

    // Each new phone replaces the one before, so not every one is answered;
    // every one is either answered or closed, and none hangs.
    const int phones = 50;
    std::atomic<int> settled{0};
    std::mutex unsettledMutex;
    std::vector<std::string> unsettled; // how each phone that did not settle fared
    std::vector<std::thread> threads;
    for (int i = 0; i < phones; ++i) {
        threads.emplace_back([&] {
            PhoneClient phone;
            std::string fared;
            if (!phone.Connect()) {
                fared = "no connection";
            } else {
                bool sent = phone.Send("{get_version}");
                std::string reply = phone.Reply(10000);
                if (reply == "{get_version}" || phone.ClosedByDevice(10000))
                    ++settled;
                else
                    fared = std::string(sent ? "sent" : "not sent") + ", reply \"" + reply + "\", not closed";
            }
            if (!fared.empty()) {
                std::lock_guard<std::mutex> lock(unsettledMutex);
                unsettled.push_back(fared);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(settled, phones) << testing::PrintToString(unsettled);

    PhoneClient last;
    ASSERT_TRUE(last.Connect());
    EXPECT_TRUE(Answers(last));
    last.Close();
    auto until = std::chrono::steady_clock::now() + 10s;
    while (OpenDescriptors() != before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_TRUE(net.IsRunning());
}

} // namespace
