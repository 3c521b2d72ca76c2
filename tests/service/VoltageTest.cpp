// The voltage calibration run mode through the bus against the board
// simulator's MCU on a 12 V and a 24 V reference supply: the averaged A/D
// value is stored as the matching reference in the EEPROM, the LEDs and the
// sound tell the end, the display stays dark, keys and SHUTDOWN change nothing.

#include "dashrec/core/Pref.h"
#include "dashrec/modes/CMainVoltage.h"
#include "dashrec/ui/UITimer.h"
#include "host/board/McuModel.h"
#include "host/board/Sysfs.h"
#include "tests/service/ServiceBench.h"

#include <gtest/gtest.h>

#include <ostream>
#include <unistd.h>

namespace {

using namespace service;
using vk::CMainVoltage;
using vk::Singleton;
namespace WM = vk::WM;
namespace WND = vk::WND;

const char* const DONE_SOUND = "aplay /app/kvo/rsc/sound/S_calib_done.wav";

struct Supply {
    const char* volts;
    float value;
    bool truck;
};

void PrintTo(const Supply& supply, std::ostream* out)
{
    *out << supply.volts;
}

class Calibration : public testing::TestWithParam<Supply> {};

TEST_P(Calibration, TheAverageBecomesTheReferenceOfItsSupply)
{
    const Supply& supply = GetParam();
    auto sim = StartBoard(std::string("0s acc on ") + supply.volts + "\n");
    PrepareProgram();
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->SetRef12VoltValue(600);
    pref->SetRef24VoltValue(1300);
    InsertCard("_offset.velmora", "[settings]\nwaiting = 1\ncount = 3\n");
    CMainVoltage* mode = Singleton<CMainVoltage>::Inst();
    mode->Initialize(true);
    {
        ModeRun run(mode);
        ASSERT_TRUE(WaitUntil([] { return Count(ShimLog(), DONE_SOUND) == 1; }, 30000)) << ShimLog();
        run.Post(WND::CMAIN_VOLTAGE, WM::BUTTON, vk::PARAM1::KEY_OK);
        run.Post(WND::CMAIN_VOLTAGE, WM::SHUTDOWN, 0);
        run.Exit();
    }
    EXPECT_EQ(mode->GetSettings().waiting, 1);
    EXPECT_EQ(mode->GetSettings().count, 3);
    EXPECT_EQ(mode->GetSampleCount(), 3);
    EXPECT_NE(access("/tmp/exit", F_OK), 0) << "this mode leaves no marker";
    EXPECT_NE(access("/tmp/shutdown", F_OK), 0) << "SHUTDOWN does not power the bench unit off";
    EXPECT_EQ(board::ReadNode(board::GpioValuePath(vk::ServiceMode::GPIO_LED_RED)), "1");
    EXPECT_EQ(board::ReadNode("/sys/class/backlight/lcd0/bl_power"), "4");
    EXPECT_EQ(board::ReadNode("/sys/st7789v/st7789v_power"), "0");
    std::string shims = ShimLog();
    EXPECT_EQ(Count(shims, "mount /dev/mmcblk1p1 /mnt/extsd/"), 1u) << shims;
    mode->Finalize();
    sim->Stop();

    // What the EEPROM now holds, as the next start reads it.
    pref->Init();
    unsigned short ref12 = 0;
    unsigned short ref24 = 0;
    pref->GetRef12VoltValue(ref12);
    pref->GetRef24VoltValue(ref24);
    uint16_t measured = board::McuModel::VoltageAD(supply.value);
    EXPECT_EQ(ref12, supply.truck ? 600 : measured);
    EXPECT_EQ(ref24, supply.truck ? measured : 1300);
}

INSTANTIATE_TEST_SUITE_P(Supplies, Calibration,
    testing::Values(Supply { "12.0V", 12.0f, false }, Supply { "24.0V", 24.0f, true }),
    [](const testing::TestParamInfo<Supply>& info) { return info.param.truck ? "Truck" : "Car"; });

TEST(Voltage, WithoutParametersItWaitsThirtySecondsForFiveSamples)
{
    auto sim = StartBoard("0s acc on\n");
    PrepareProgram();
    InsertCard("", "");
    CMainVoltage* mode = Singleton<CMainVoltage>::Inst();
    mode->Initialize(true);
    {
        ModeRun run(mode);
        vk::UITimer* timers = Singleton<vk::UITimer>::Inst();
        ASSERT_TRUE(WaitUntil([&] { return timers->Remaining(WND::CMAIN_VOLTAGE, vk::TIMER::CVOLTAGE_WAITING_TIME) > 0; }, 30000));
        EXPECT_GT(timers->Remaining(WND::CMAIN_VOLTAGE, vk::TIMER::CVOLTAGE_WAITING_TIME), 25000);
        run.Exit();
    }
    EXPECT_EQ(mode->GetSettings().waiting, 30);
    EXPECT_EQ(mode->GetSettings().count, 5);
    EXPECT_EQ(mode->GetSampleCount(), 0);
    mode->Finalize();
    sim->Stop();
}

TEST(Voltage, TheTruckBoundaryIsAbove978)
{
    auto sim = StartBoard("0s acc on\n");
    PrepareProgram();
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    const struct {
        uint16_t value;
        bool truck;
    } cases[] = { { 978, false }, { 979, true }, { 600, false }, { 1400, true } };
    for (const auto& c : cases) {
        EXPECT_EQ(CMainVoltage::WriteCalculateValue(c.value), c.truck) << c.value;
        unsigned short stored = 0;
        if (c.truck)
            pref->GetRef24VoltValue(stored);
        else
            pref->GetRef12VoltValue(stored);
        EXPECT_EQ(stored, c.value);
    }
    sim->Stop();
}

} // namespace
