// The recorder's frame callback: when it hands a front frame to driver
// assistance, what it puts in the parameter block, and the warnings it posts
// to the live view.

#include "RoadFrame.h"

#include "../sensors/NmeaText.h"
#include "dashrec/assist/FsAdas.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/dvr/EngineCallbacks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using adastest::RoadFrame;
using vk::gAdasConfig;

class AdasCallback : public testing::Test {
protected:
    void SetUp() override
    {
        vk::UIQueue::Inst()->Init();
        vk::Singleton<vk::GPS>::Inst()->Init(false);
        vk::gFsadasStarts = true;
        Pref()->SetLdwsModeOn();
        Pref()->SetFcwsModeOn();
        std::memset(gAdasConfig, 0, sizeof(int) * ADAS_SLOTS);
    }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    static vk::Pref* Pref() { return vk::Singleton<vk::Pref>::Inst(); }

    static void Fix(const std::string& knots)
    {
        std::string s = sensors_test::Rmc("120000", "101226", "A", "3733.1234,N,12658.5000,W", knots);
        vk::Singleton<vk::GPS>::Inst()->Parse(s.c_str(), static_cast<int>(s.size()));
    }

    static void Deliver(RoadFrame& frame)
    {
        vk::FsadasCallback(0, frame.y.data(), frame.vu.data(), adastest::W, adastest::H);
    }

    // The warnings that reached the live view so far.
    static std::vector<int> Warnings()
    {
        std::vector<int> cmds;
        ipc_msg_t msg;
        while (vk::UIQueue::Inst()->RecvMessage(msg, 50) > 0) {
            if (msg.wnd == vk::WND::LIVEVIEW)
                cmds.push_back(msg.cmd);
        }
        return cmds;
    }
};

TEST_F(AdasCallback, NothingIsAnalysedWithoutFixSwitchOrPermission)
{
    RoadFrame frame;
    Deliver(frame);
    EXPECT_EQ(gAdasConfig[ADAS_SPEED], 0) << "no fix yet";
    Fix("32.4");
    vk::gFsadasStarts = false;
    Deliver(frame);
    EXPECT_EQ(gAdasConfig[ADAS_LDWS_MIN_SPEED], 0) << "paused";
    vk::gFsadasStarts = true;
    Pref()->SetLdwsModeOff();
    Pref()->SetFcwsModeOff();
    Deliver(frame);
    EXPECT_EQ(gAdasConfig[ADAS_LDWS_MIN_SPEED], 0) << "both switched off";
}

TEST_F(AdasCallback, FixFillsTheBlockWithSpeedAndSwitches)
{
    Fix("32.4");
    Pref()->SetFcwsModeOff();
    RoadFrame frame;
    Deliver(frame);
    const int expected[ADAS_SLOTS] = {60, LDWS_CALIBRATING, 3, 3, 68, 40, 1, 0, 68, 40, 0};
    for (int slot = 0; slot < ADAS_SLOTS; slot++)
        EXPECT_EQ(gAdasConfig[slot], expected[slot]) << slot;
    EXPECT_TRUE(Warnings().empty());
}

// The car drifts to the left over the lane's left marking.
void DriftLeft(void (*deliver)(RoadFrame&))
{
    RoadFrame lane = RoadFrame::Lane(adastest::LEFT_X, adastest::RIGHT_X);
    for (int frame = 0; frame < 30; frame++)
        deliver(lane);
    for (int shift = 6; shift <= 240; shift += 6) {
        RoadFrame drifted = RoadFrame::Lane(adastest::LEFT_X + shift, adastest::RIGHT_X + shift);
        deliver(drifted);
    }
}

TEST_F(AdasCallback, DepartureIsShownOnTheLiveview)
{
    Fix("43.2");
    DriftLeft(Deliver);
    std::vector<int> warnings = Warnings();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), vk::WM::SHOW_LDWS_LEFT), 1);
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), vk::WM::SHOW_LDWS_RIGHT), 0);
}

TEST_F(AdasCallback, DepartureSwitchedOffIsNotShown)
{
    Fix("43.2");
    Pref()->SetLdwsModeOff();
    DriftLeft(Deliver);
    std::vector<int> warnings = Warnings();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), vk::WM::SHOW_LDWS_LEFT), 0);
}

TEST_F(AdasCallback, VehicleComingCloserIsShownOnTheLiveview)
{
    Fix("32.4");
    Pref()->SetLdwsModeOff();
    for (int bottom = 300; bottom <= 340; bottom++) {
        RoadFrame frame = RoadFrame::VehicleAhead(bottom);
        Deliver(frame);
    }
    std::vector<int> warnings = Warnings();
    EXPECT_GE(std::count(warnings.begin(), warnings.end(), vk::WM::SHOW_VIOLENCE), 1);
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), vk::WM::SHOW_LDWS_LEFT), 0);
}

} // namespace
