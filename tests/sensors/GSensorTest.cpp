// The G-sensor against its chip model: the shock test and its cooldown, the
// subtitle records, the overlay text, and the sampling thread end to end.

#include "bmworks/BmOverlay.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/I2c.h"
#include "dashrec/devices/Micom.h"
#include "host/i2c/ChipModel.h"
#include "host/i2c/Mc3416.h"
#include "tests/sensors/NmeaText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

using Level = vk::RECORDING::GSENSOR::VALUE;

struct Sample {
    int x, y, z;
};

class GSensorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vk::UIQueue::Inst()->Init();
        sensor()->Init();
    }
    void TearDown() override
    {
        if (_fd >= 0)
            vk::I2c::Close(_fd);
        vk::UIQueue::Inst()->Finalize();
    }

    static vk::GSensor* sensor() { return vk::Singleton<vk::GSensor>::Inst(); }

    void OpenChip(Level level)
    {
        vk::Singleton<vk::Pref>::Inst()->SetNormalGsensorSensitivity(level);
        ASSERT_TRUE(vk::host::mc3416::SetAxes(0, 64, 0));
        _fd = sensor()->Open();
        ASSERT_GE(_fd, 0);
        ASSERT_EQ(sensor()->ReadInitData(_fd), 0);
    }

    // One round whose corrected sample is `s` (the chip is mounted with x and
    // y reversed and gravity along y).
    void Round(Sample s)
    {
        ASSERT_TRUE(vk::host::mc3416::SetAxes(-s.x, 64 - s.y, s.z));
        sensor()->SampleRound(_fd);
    }

    static int Shocks()
    {
        int count = 0;
        ipc_msg_t msg;
        while (vk::UIQueue::Inst()->RecvMessage(msg, 10) > 0)
            count += msg.wnd == vk::WND::LIVEVIEW && msg.cmd == vk::WM::GSENSOR_SIGNAL;
        return count;
    }

    int _fd = -1;
};

TEST_F(GSensorTest, ShockIsAChangeBetweenTwoRoundsAboveTheThreshold)
{
    const struct {
        const char* name;
        Level level;
        std::vector<Sample> rounds;
        int shocks;
    } cases[] = {
        { "0.99 g at 0.9", Level::LEVEL_3, { { 0, 0, 0 }, { 60, 20, 0 } }, 1 },
        { "0.99 g at 1.0", Level::LEVEL_2, { { 0, 0, 0 }, { 60, 20, 0 } }, 0 },
        { "steady tilt", Level::LEVEL_5, std::vector<Sample>(10, { 100, 50, -60 }), 0 },
        { "largest change, sensitivity off", Level::OFF, { { 127, -63, 127 }, { -128, 192, -128 } }, 0 },
        { "first round has nothing to compare", Level::LEVEL_5, { { 120, 0, 0 } }, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sensor()->Init();
        if (_fd >= 0)
            vk::I2c::Close(_fd);
        OpenChip(c.level);
        for (Sample s : c.rounds)
            Round(s);
        EXPECT_EQ(Shocks(), c.shocks);
    }
}

TEST_F(GSensorTest, ShockWithinASecondOfTheLastIsNotReported)
{
    OpenChip(Level::LEVEL_3);
    Round({ 0, 0, 0 });
    Round({ 64, 0, 0 });
    EXPECT_EQ(Shocks(), 1);
    // 0.5 s later: 20 rounds.
    for (int i = 0; i < 18; ++i)
        Round({ 64, 0, 0 });
    Round({ 0, 0, 0 });
    EXPECT_EQ(Shocks(), 0);
    for (int i = 0; i < vk::GSensor::COOLDOWN_ROUNDS; ++i)
        Round({ 0, 0, 0 });
    Round({ 64, 0, 0 });
    EXPECT_EQ(Shocks(), 1);
}

TEST_F(GSensorTest, FortyRoundsMakeOneSubtitleText)
{
    OpenChip(Level::LEVEL_3);
    for (int i = 0; i < 39; ++i)
        Round({ -37, 0, 5 });
    EXPECT_EQ(sensor()->GetSubTitleText(), "");
    Round({ -37, 0, 5 });
    std::string record = "EXTD/0/0.000000/0.000000/0/F7/00/01,";
    std::string expected;
    for (int i = 0; i < 40; ++i)
        expected += record;
    EXPECT_EQ(sensor()->GetSubTitleText(), expected);

    // With a fix the record carries it.
    vk::GPS* gps = vk::Singleton<vk::GPS>::Inst();
    gps->Init(false);
    for (char c : sensors_test::Rmc("120000", "100117"))
        gps->HandleByte(c);
    for (int i = 0; i < 40; ++i)
        Round({ 8, -8, 0 });
    EXPECT_EQ(sensor()->GetSubTitleText().substr(0, 44), "EXTD/1/-126.975000/37.552057/18/02/FE/00,EXT");
}

// Supply voltage, board temperature and the fix, handed to the engine to burn in.
TEST_F(GSensorTest, OverlayTextShowsSupplyTemperatureAndFixAndReachesTheEngine)
{
    vk::Micom* micom = vk::Singleton<vk::Micom>::Inst();
    micom->micom_status.voltage = 644;
    micom->micom_status.temperature = 1010;
    sensor()->SetOverlayText();
    EXPECT_EQ(sensor()->GetOverlayText(), "12.0V   2'C --- --- ---km");
    EXPECT_EQ(BmOverlay::Inst()->newText, sensor()->GetOverlayText());

    micom->micom_status.voltage = 1310;
    micom->micom_status.temperature = 1362;
    vk::GPS* gps = vk::Singleton<vk::GPS>::Inst();
    gps->Init(false);
    for (char c : sensors_test::Rmc("120000", "100117"))
        gps->HandleByte(c);
    sensor()->SetOverlayText();
    EXPECT_EQ(sensor()->GetOverlayText(), "24.0V  95'C W127.0 N37.6  18km");
    EXPECT_EQ(BmOverlay::Inst()->newText, sensor()->GetOverlayText());
}

TEST_F(GSensorTest, ThreadPostsAShockAndStopsPromptly)
{
    vk::Singleton<vk::Pref>::Inst()->SetNormalGsensorSensitivity(Level::LEVEL_3);
    ASSERT_TRUE(vk::host::mc3416::SetAxes(0, 64, 0));
    sensor()->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(sensor()->CheckDeviceId());
    EXPECT_EQ(Shocks(), 0);
    ASSERT_TRUE(vk::host::mc3416::SetAxes(-100, 64, 100));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Shocks(), 1);
    auto start = std::chrono::steady_clock::now();
    sensor()->Finalize();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST_F(GSensorTest, MissingBusEndsTheThread)
{
    mkdir(vk::host::I2cStateDir().c_str(), 0755);
    std::ofstream(vk::host::BoardPath()) << "/dev/i2c-3 zt2003s\n";
    testing::internal::CaptureStdout();
    sensor()->Start();
    sensor()->Finalize();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[GSensor - MC3416] /dev/i2c-2 can't be opened"),
        std::string::npos);
    EXPECT_FALSE(sensor()->CheckDeviceId()) << "the production tests fail the sensor";
}

} // namespace
