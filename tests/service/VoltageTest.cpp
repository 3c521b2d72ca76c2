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

std::string Led(int gpio)
{
    return board::ReadNode(board::GpioValuePath(gpio));
}

struct References {
    unsigned short ref12 = 0;
    unsigned short ref24 = 0;
};

// What the EEPROM holds, as the next start reads it.
References Stored()
{
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->Init();
    References refs;
    pref->GetRef12VoltValue(refs.ref12);
    pref->GetRef24VoltValue(refs.ref24);
    return refs;
}

// The mode on the bench: the simulator's MCU reports `supply` ("": its
// default), and the card holds the parameter file when there is one.
struct Bench {
    Bench(const std::string& supply, const char* parameters)
        : sim(StartBoard("0s acc on" + (supply.empty() ? "" : " " + supply) + "\n"))
    {
        PrepareProgram();
        InsertCard(parameters != nullptr ? "_offset.velmora" : "", parameters != nullptr ? parameters : "");
        mode->Initialize(true);
    }

    std::unique_ptr<board::Board> sim;
    CMainVoltage* mode = Singleton<CMainVoltage>::Inst();
};

class Calibration : public testing::TestWithParam<Supply> {};

TEST_P(Calibration, TheAverageBecomesTheReferenceOfItsSupply)
{
    const Supply& supply = GetParam();
    Bench bench(supply.volts, "[settings]\nwaiting = 1\ncount = 3\n");
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->SetRef12VoltValue(600);
    pref->SetRef24VoltValue(1300);
    CMainVoltage* mode = bench.mode;
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
    EXPECT_EQ(Led(vk::ServiceMode::GPIO_LED_RED), "1");
    EXPECT_EQ(board::ReadNode("/sys/class/backlight/lcd0/bl_power"), "4");
    EXPECT_EQ(board::ReadNode("/sys/st7789v/st7789v_power"), "0");
    std::string shims = ShimLog();
    EXPECT_EQ(Count(shims, "mount /dev/mmcblk1p1 /mnt/extsd/"), 1u) << shims;
    mode->Finalize();
    bench.sim->Stop();

    References refs = Stored();
    uint16_t measured = board::McuModel::VoltageAD(supply.value);
    EXPECT_EQ(refs.ref12, supply.truck ? 600 : measured);
    EXPECT_EQ(refs.ref24, supply.truck ? measured : 1300);
}

INSTANTIATE_TEST_SUITE_P(Supplies, Calibration,
    testing::Values(Supply { "12.0V", 12.0f, false }, Supply { "24.0V", 24.0f, true }),
    [](const testing::TestParamInfo<Supply>& info) { return info.param.truck ? "Truck" : "Car"; });

TEST(Voltage, WithoutParametersItWaitsThirtySecondsForFiveSamples)
{
    Bench bench("", nullptr);
    CMainVoltage* mode = bench.mode;
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
    bench.sim->Stop();
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

TEST(Voltage, ACountBelowOneTakesTheDefaultCountAndLightsTheRedLedAtOnce)
{
    Bench bench("12.0V", "[settings]\nwaiting = 1\ncount = 0\n");
    CMainVoltage* mode = bench.mode;
    {
        ModeRun run(mode);
        ASSERT_TRUE(WaitUntil([] { return Led(vk::ServiceMode::GPIO_LED_RED) == "1"; }, 30000));
        EXPECT_EQ(Count(ShimLog(), DONE_SOUND), 0u) << "red before any sample: the parameter file is wrong";
        ASSERT_TRUE(WaitUntil([] { return Count(ShimLog(), DONE_SOUND) == 1; }, 30000)) << ShimLog();
        run.Exit();
    }
    EXPECT_EQ(mode->GetSettings().count, 5);
    EXPECT_EQ(mode->GetSampleCount(), 5);
    mode->Finalize();
    bench.sim->Stop();
    EXPECT_EQ(Stored().ref12, board::McuModel::VoltageAD(12.0f));
}

TEST(Voltage, AnImplausibleAverageIsNotStoredAndLightsTheRedLedAlone)
{
    // Between the two supplies: 17 V is neither a 12 V nor a 24 V reference.
    Bench bench("17.0V", "[settings]\nwaiting = 1\ncount = 3\n");
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->SetRef12VoltValue(600);
    pref->SetRef24VoltValue(1300);
    CMainVoltage* mode = bench.mode;
    {
        ModeRun run(mode);
        ASSERT_TRUE(WaitUntil([] { return Led(vk::ServiceMode::GPIO_LED_RED) == "1"; }, 30000));
        run.Exit();
    }
    EXPECT_EQ(mode->GetSampleCount(), 3);
    // The blinking stopped with blue off: unlike a stored reference, where blue blinks on.
    EXPECT_EQ(Led(vk::ServiceMode::GPIO_LED_BLUE), "0");
    EXPECT_EQ(Count(ShimLog(), DONE_SOUND), 0u);
    mode->Finalize();
    bench.sim->Stop();
    References refs = Stored();
    EXPECT_EQ(refs.ref12, 600);
    EXPECT_EQ(refs.ref24, 1300);
}

TEST(Voltage, AReferenceIsPlausibleWithinTwoVoltsOfItsSupply)
{
    const struct {
        float volts;
        bool plausible;
    } cases[] = { { 12.0f, true }, { 10.1f, true }, { 13.9f, true }, { 9.8f, false }, { 14.2f, false },
        { 24.0f, true }, { 22.1f, true }, { 25.9f, true }, { 21.8f, false }, { 26.2f, false }, { 17.0f, false } };
    for (const auto& c : cases)
        EXPECT_EQ(CMainVoltage::IsPlausible(board::McuModel::VoltageAD(c.volts)), c.plausible) << c.volts;
    EXPECT_FALSE(CMainVoltage::IsPlausible(0)) << "an MCU that never reported";
    EXPECT_FALSE(CMainVoltage::IsPlausible(0xFFFF));
}

} // namespace
