// The touch controller against its chip model and the sysfs interrupt line:
// scaling, the press and release messages, and the release rules.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/TouchSensor.h"
#include "host/board/Sysfs.h"
#include "host/i2c/ChipModel.h"
#include "host/i2c/Zt2003s.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Touch {
    int param1;
    int param2;
    uintptr_t raw;
    bool operator==(const Touch& o) const { return param1 == o.param1 && param2 == o.param2 && raw == o.raw; }
};

std::ostream& operator<<(std::ostream& out, const Touch& t)
{
    return out << "{" << t.param1 << ", " << t.param2 << ", " << t.raw << "}";
}

Touch Pre(int x, int y, uintptr_t raw)
{
    return { vk::PARAM1::TOUCH_PRE, x << 12 | y, raw };
}

Touch Tap(int x, int y, uintptr_t raw)
{
    return { vk::PARAM1::TOUCH, x << 12 | y, raw };
}

class TouchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board::LayOutSysfs());
        vk::UIQueue::Inst()->Init();
    }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    static vk::TouchSensor* touch() { return vk::Singleton<vk::TouchSensor>::Inst(); }

    static void StartSensor()
    {
        touch()->Init();
        touch()->Start();
        std::this_thread::sleep_for(50ms);
    }

    static void Irq(bool pressed)
    {
        ASSERT_TRUE(board::WriteNode(board::GpioValuePath(vk::TouchSensor::GPIO_IRQ), pressed ? "0" : "1"));
    }

    static void Press(unsigned x, unsigned y, unsigned z = 300)
    {
        ASSERT_TRUE(vk::host::zt2003s::SetReadings(x, y, z));
        Irq(true);
    }

    // A press held for `held`, then released.
    static void TapAt(unsigned x, unsigned y, std::chrono::milliseconds held = 150ms)
    {
        Press(x, y);
        std::this_thread::sleep_for(held);
        Irq(false);
    }

    static std::vector<Touch> Messages(int quietMs = 300)
    {
        std::vector<Touch> touches;
        ipc_msg_t msg;
        while (vk::UIQueue::Inst()->RecvMessage(msg, quietMs) > 0) {
            EXPECT_EQ(msg.wnd, vk::WND::ANY);
            EXPECT_EQ(msg.cmd, vk::WM::BUTTON);
            touches.push_back({ msg.param1, msg.param2, reinterpret_cast<uintptr_t>(msg.ptr) });
        }
        return touches;
    }
};

TEST_F(TouchTest, RawReadingsScaleToScreenPixels)
{
    const struct {
        uint32_t x, y;
        uint32_t sx, sy;
    } cases[] = {
        { 2136, 2054, 239, 159 },
        { 320, 228, 0, 0 },
        { 100, 50, 0, 0 },
        { 3953, 3881, 479, 319 },
        { 4095, 4095, 479, 319 },
    };
    for (const auto& c : cases) {
        uint32_t x = c.x;
        uint32_t y = c.y;
        vk::TouchSensor::ZT2003STransformPosition(x, y);
        EXPECT_EQ(x, c.sx) << c.x;
        EXPECT_EQ(y, c.sy) << c.y;
    }
    vk::Singleton<vk::Pref>::Inst()->SetLcdCalibrationData(320, 228, 320, 3881);
    uint32_t x = 2136;
    uint32_t y = 2054;
    vk::TouchSensor::ZT2003STransformPosition(x, y);
    EXPECT_EQ(x, 0u);
    EXPECT_EQ(y, 159u);
}

TEST_F(TouchTest, TapPostsPressAndRelease)
{
    StartSensor();
    TapAt(2136, 2054);
    const uintptr_t raw = 2136u << 16 | 2054u;
    EXPECT_EQ(Messages(), (std::vector<Touch> { Pre(239, 159, raw), Tap(239, 159, raw) }));
    EXPECT_EQ(Tap(239, 159, raw).param2, 979103);
    touch()->Finalize();
}

TEST_F(TouchTest, ReleaseOnTheRimIsNotATap)
{
    StartSensor();
    TapAt(320, 228);
    std::this_thread::sleep_for(150ms);
    TapAt(4000, 4000);
    EXPECT_EQ(Messages(), (std::vector<Touch> { Pre(0, 0, 320u << 16 | 228u), Pre(479, 319, 4000u << 16 | 4000u) }));
    touch()->Finalize();
}

TEST_F(TouchTest, ReleasesCloserThan300msCountOnce)
{
    StartSensor();
    // The sensor looks for the release every 100 ms: these releases are seen about 150 ms apart.
    TapAt(1000, 2000, 50ms);
    std::this_thread::sleep_for(100ms);
    TapAt(1000, 2000, 50ms);
    std::vector<Touch> close = Messages();
    std::this_thread::sleep_for(200ms);
    TapAt(1000, 2000, 50ms);
    std::vector<Touch> later = Messages();
    const uintptr_t raw = 1000u << 16 | 2000u;
    EXPECT_EQ(raw, 1000u * 65536 + 2000u);
    const Touch pre = Pre(89, 155, raw);
    const Touch tap = Tap(89, 155, raw);
    EXPECT_EQ(close, (std::vector<Touch> { pre, tap, pre }));
    EXPECT_EQ(later, (std::vector<Touch> { pre, tap }));
    touch()->Finalize();
}

TEST_F(TouchTest, ZeroPressureReadingFailsThePressUntilReadAgain)
{
    StartSensor();
    ASSERT_TRUE(vk::host::zt2003s::SetReadings(2136, 2054, 0));
    Irq(true);
    std::this_thread::sleep_for(100ms);
    Irq(false);
    EXPECT_TRUE(Messages(200).empty());
    TapAt(2136, 2054);
    EXPECT_EQ(Messages().size(), 2u);
    touch()->Finalize();
}

TEST_F(TouchTest, StuckLineDoesNotHoldUpShutdown)
{
    StartSensor();
    Press(2136, 2054);
    EXPECT_EQ(Messages().size(), 1u) << "the press, never its release";
    // The release wait polls every 100 ms; a stop that it ignored would never end.
    auto start = std::chrono::steady_clock::now();
    touch()->Finalize();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(TouchTest, MissingBusMeansNoTouchInput)
{
    mkdir(vk::host::I2cStateDir().c_str(), 0755);
    std::ofstream(vk::host::BoardPath()) << "/dev/i2c-2 mc3416\n";
    testing::internal::CaptureStdout();
    StartSensor();
    TapAt(2136, 2054);
    touch()->Finalize();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[TouchSensor - ZT2003S] Return : fd = -1\r\n"),
        std::string::npos);
    EXPECT_TRUE(Messages(100).empty());
}

} // namespace
