// The sysfs GPIO helpers against the board's nodes laid out in the sandbox.

#include "dashrec/devices/Gpio.h"
#include "dashrec/devices/Micom.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using board::GpioValuePath;
using board::ReadNode;
using board::WriteNode;

class Input : public vk::GPIO_IN {
public:
    using GPIO_IN::GPIO_IN;
    void Update(long) override {}
};

class Gpio : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board::LayOutSysfs()); }
};

TEST_F(Gpio, OutputExportsItselfAndDrivesItsValue)
{
    {
        vk::GPIO_OUT led(196, "/sys/class/gpio");
        EXPECT_EQ(ReadNode("/sys/class/gpio/export"), "196");
        EXPECT_EQ(ReadNode("/sys/class/gpio/gpio196/direction"), "out");
        led.SetOn();
        EXPECT_EQ(ReadNode(GpioValuePath(196)), "1");
        EXPECT_TRUE(led.IsOn());
        led.SetOff();
        EXPECT_EQ(ReadNode(GpioValuePath(196)), "0");
        EXPECT_FALSE(led.IsOn());
    }
    EXPECT_EQ(ReadNode("/sys/class/gpio/unexport"), "196");
}

TEST_F(Gpio, AnUnreadableOutputAnswersOn)
{
    vk::GPIO_OUT led(196, "/sys/class/gpio");
    ASSERT_EQ(std::remove(GpioValuePath(196).c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(led.IsOn());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[GPIO_OUT]GPIO(196) open error(-1)"), std::string::npos);
    ASSERT_TRUE(WriteNode(GpioValuePath(196), ""));
    EXPECT_TRUE(led.IsOn());
}

TEST_F(Gpio, InputReadsItsNumberOrMinusOne)
{
    Input bplus(365, "/sys/class/gpio");
    EXPECT_EQ(ReadNode("/sys/class/gpio/gpio365/direction"), "in");
    EXPECT_EQ(bplus.GetValue(), 0);
    ASSERT_TRUE(WriteNode(GpioValuePath(365), "1"));
    EXPECT_EQ(bplus.GetValue(), 1);
    ASSERT_TRUE(WriteNode(GpioValuePath(365), ""));
    EXPECT_EQ(bplus.GetValue(), -1);
    ASSERT_EQ(std::remove(GpioValuePath(365).c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(bplus.GetValue(), -1);
    EXPECT_EQ(bplus.GetValue(), -1);
    std::string log = testing::internal::GetCapturedStdout();
    const std::string line = "[GPIO_IN]GPIO(365) open error(-1)";
    size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "one line per outage";
}

TEST_F(Gpio, MicomPowerHoldLine)
{
    vk::Micom* micom = vk::Singleton<vk::Micom>::Inst();
    micom->Init();
    micom->Lock();
    EXPECT_EQ(ReadNode(GpioValuePath(vk::Micom::GPIO_POWER_HOLD)), "1");
    micom->Unlock();
    EXPECT_EQ(ReadNode(GpioValuePath(vk::Micom::GPIO_POWER_HOLD)), "0");
}

} // namespace
