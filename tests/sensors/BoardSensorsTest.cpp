// The board simulator's sensor half: its scenario events, the GPS module's
// sentences, and a scenario played against the program's own GPS, G-sensor
// and touch services.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/TouchSensor.h"
#include "host/board/Board.h"
#include "host/board/NmeaRoute.h"
#include "host/board/Scenario.h"
#include "tests/sensors/HandedOn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using board::BoardState;
using board::Scenario;

BoardState Play(const std::string& text)
{
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(scenario.Parse(text, error)) << error;
    BoardState state;
    for (const auto& event : scenario.Events())
        event.apply(state);
    return state;
}

TEST(SensorScenario, EventsSetTheSensors)
{
    BoardState s = Play("0s gps at 37.5N 127.25E\n1s gps drive 60km/h 90deg\n2s gps turn -135deg\n3s gps lost\n"
                        "4s shock 2.5g\n5s tap 240 160\n6s shock 1g\n");
    EXPECT_DOUBLE_EQ(s.sensors.gps.latitude, 37.5);
    EXPECT_DOUBLE_EQ(s.sensors.gps.longitude, 127.25);
    EXPECT_DOUBLE_EQ(s.sensors.gps.kmh, 60);
    EXPECT_DOUBLE_EQ(s.sensors.gps.heading, 315);
    EXPECT_FALSE(s.sensors.gps.fix);
    EXPECT_EQ(s.sensors.shocks, 2);
    EXPECT_DOUBLE_EQ(s.sensors.shockG, 1);
    EXPECT_EQ(s.sensors.taps, 1);
    EXPECT_EQ(s.sensors.tapX, 240);
    EXPECT_EQ(s.sensors.tapY, 160);
    EXPECT_EQ(s.sensors.gps.talker, "GP") << "a GPS-only module until a scenario says";
    BoardState w = Play("0s gps at 33.1S 70.6W\n1s gps drive 30km/h\n2s gps fix\n3s gps replay /tmp/a.log\n"
                        "4s gps talker GN\n");
    EXPECT_EQ(w.sensors.gps.talker, "GN");
    EXPECT_DOUBLE_EQ(w.sensors.gps.latitude, -33.1);
    EXPECT_DOUBLE_EQ(w.sensors.gps.longitude, -70.6);
    EXPECT_DOUBLE_EQ(w.sensors.gps.heading, 0);
    EXPECT_TRUE(w.sensors.gps.fix);
    EXPECT_EQ(w.sensors.gps.replay, "/tmp/a.log");
}

TEST(SensorScenario, MalformedEventsAreRefusedWithTheLine)
{
    for (const char* line : { "1s gps", "1s gps at 91N 0E", "1s gps at 37N", "1s gps drive fast", "1s gps drive -5km/h",
             "1s gps turn left", "1s gps lost now", "1s gps replay", "1s shock", "1s shock 0g", "1s shock 2.5",
             "1s tap 480 10", "1s tap 10", "1s tap a b", "1s gps talker gn", "1s gps talker GNS", "1s gps talker" }) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(scenario.Parse(std::string("0s acc on\n") + line + "\n", error)) << line;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

TEST(SensorScenario, RouteSentencesAreWhatTheReceiverTakes)
{
    board::GpsState gps;
    gps.latitude = 37.5;
    gps.longitude = -0.5;
    gps.kmh = 72;
    for (int i = 0; i < 10; ++i)
        board::AdvanceRoute(gps, 1.0);
    EXPECT_NEAR(gps.latitude, 37.5 + 200 / 111320.0, 1e-9);
    EXPECT_NEAR(gps.longitude, -0.5, 1e-12);
    for (bool fix : { true, false }) {
        gps.fix = fix;
        std::istringstream lines(board::RouteSentences(gps, 1484049600));
        int count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            line += "\n";
            EXPECT_TRUE(vk::GPS::IsDataValid(line.c_str(), static_cast<int>(line.size()))) << line;
            EXPECT_LT(line.size(), static_cast<size_t>(vk::GPS::MAX_SENTENCE)) << line;
        }
        EXPECT_EQ(count, 4);
    }
    gps.fix = true;
    std::string text = board::RouteSentences(gps, 1484049600);
    EXPECT_EQ(text.substr(0, text.find('*')), "$GPRMC,120000.00,A,3730.1078,N,00030.0000,W,38.88,0.0,100117,,,A");
    gps.talker = "GN";
    text = board::RouteSentences(gps, 1484049600);
    EXPECT_EQ(text.substr(0, text.find('*')), "$GNRMC,120000.00,A,3730.1078,N,00030.0000,W,38.88,0.0,100117,,,A");
    EXPECT_NE(text.find("\r\n$GNGGA,"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n$GNGSA,"), std::string::npos) << text;
}

class BoardSensors : public ::testing::Test {
protected:
    void SetUp() override { vk::UIQueue::Inst()->Init(); }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    static std::vector<ipc_msg_t> Collect(std::chrono::milliseconds span)
    {
        std::vector<ipc_msg_t> messages;
        auto end = std::chrono::steady_clock::now() + span;
        ipc_msg_t msg;
        while (std::chrono::steady_clock::now() < end) {
            if (vk::UIQueue::Inst()->RecvMessage(msg, 50) > 0)
                messages.push_back(msg);
        }
        return messages;
    }

    static int Count(const std::vector<ipc_msg_t>& messages, int wnd, int cmd, int param1)
    {
        int count = 0;
        for (const ipc_msg_t& m : messages)
            count += m.wnd == wnd && m.cmd == cmd && m.param1 == param1;
        return count;
    }
};

TEST_F(BoardSensors, ScenarioReachesTheProgramsServices)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("0s gps at 37.5N 127.0E\n0s gps drive 72km/h 0deg\n"
                               "1500ms shock 2.5g\n2s tap 240 160\n",
        error));
    board::Board sim(scenario);
    ASSERT_TRUE(sim.Start());
    vk::GPS* gps = vk::Singleton<vk::GPS>::Inst();
    vk::GSensor* gsensor = vk::Singleton<vk::GSensor>::Inst();
    vk::TouchSensor* touch = vk::Singleton<vk::TouchSensor>::Inst();
    gps->Init(false);
    gsensor->Init();
    touch->Init();
    gps->Start();
    gsensor->Start();
    touch->Start();
    std::vector<ipc_msg_t> messages = Collect(std::chrono::milliseconds(3000));
    vk::gps_lock_data_t fix;
    gps->CopyData(fix);
    touch->Finalize();
    gsensor->Finalize();
    gps->Finalize();
    sim.Stop();

    EXPECT_TRUE(fix.available);
    EXPECT_EQ(fix.speed, 72);
    EXPECT_GT(fix.latitude, 37.5);
    EXPECT_NEAR(fix.longitude, 127.0, 1e-6);
    EXPECT_EQ(Count(messages, vk::WND::LIVEVIEW, vk::WM::GSENSOR_SIGNAL, 0), 1);
    EXPECT_EQ(Count(messages, vk::WND::ANY, vk::WM::BUTTON, vk::PARAM1::TOUCH_PRE), 1);
    EXPECT_EQ(Count(messages, vk::WND::ANY, vk::WM::BUTTON, vk::PARAM1::TOUCH), 1);
    for (const ipc_msg_t& m : messages) {
        if (m.cmd == vk::WM::BUTTON) {
            EXPECT_EQ(m.param2, 240 << 12 | 160);
        }
    }
}

TEST_F(BoardSensors, FixLossAndCapturedLogReplay)
{
    const std::string log = "/tmp/drive.log";
    std::ofstream(log) << "# two cycles\n" << board::NmeaSentence("GPRMC,120000.00,A,3733.1234,N,12658.5000,W,10.0,,100117,,,A")
                       << board::NmeaSentence("GPGGA,120000.00,3733.1234,N,12658.5000,W,1,04,0.9,50.0,M,0.0,M,,")
                       << board::NmeaSentence("GPRMC,120001.00,A,3733.1234,N,12658.5000,W,10.0,,100117,,,A");
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("0s gps at 37.5N 127.0E\n1500ms gps lost\n2500ms gps replay " + log + "\n", error));
    sensors_test::HandedOn handedOn;
    board::Board sim(scenario);
    ASSERT_TRUE(sim.Start());
    vk::GPS* gps = vk::Singleton<vk::GPS>::Inst();
    gps->Init(false);
    gps->Start();
    std::vector<ipc_msg_t> messages = Collect(std::chrono::milliseconds(4800));
    gps->Finalize();
    sim.Stop();

    EXPECT_GE(Count(messages, vk::WND::CMAIN_DVR, vk::WM::GPS, 0), 1) << "the lost fix";
    std::vector<std::string> handed = handedOn.Sentences();
    ASSERT_GE(handed.size(), 4u);
    EXPECT_NE(handed[handed.size() - 2].find("120000.00,A,3733.1234"), std::string::npos);
    EXPECT_NE(handed.back().find("120001.00,A,3733.1234"), std::string::npos);
}

} // namespace
