// The status LEDs: the priority table and the blink phases, read from the
// pins' value files after each tick of the LED thread.

#include "dashrec/devices/LED.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using vk::LED;

// One character per tick, '1' lit.
struct Lights {
    std::string red, blue, security;
};

bool operator==(const Lights& a, const Lights& b)
{
    return a.red == b.red && a.blue == b.blue && a.security == b.security;
}

std::ostream& operator<<(std::ostream& out, const Lights& l)
{
    return out << "red " << l.red << ", blue " << l.blue << ", security " << l.security;
}

class Leds : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board::LayOutSysfs());
        _led->Init();
    }

    char Pin(int gpio) { return board::ReadNode(board::GpioValuePath(gpio))[0]; }

    Lights Run(int ticks)
    {
        Lights l;
        for (int i = 0; i < ticks; ++i) {
            _led->Tick();
            l.red += Pin(LED::GPIO_RED);
            l.blue += Pin(LED::GPIO_BLUE);
            l.security += Pin(LED::GPIO_SECURITY);
        }
        return l;
    }

    LED* _led = vk::Singleton<LED>::Inst();
};

// From a fresh thread the slow phase is 1100 over four ticks, the fast one 1010.
struct PatternCase {
    const char* name;
    uint32_t state;
    Lights lights;
};

void PrintTo(const PatternCase& c, std::ostream* out)
{
    *out << c.name;
}

class LedPatterns : public Leds, public ::testing::WithParamInterface<PatternCase> {};

TEST_P(LedPatterns, FirstMatchingRowDrivesTheLeds)
{
    _led->Set(GetParam().state);
    EXPECT_EQ(Run(4), GetParam().lights);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LedPatterns,
    ::testing::Values(
        PatternCase { "Format", LED::FORMAT, { "1100", "0011", "0011" } },
        PatternCase { "FormatOutranksError", LED::FORMAT | LED::ERROR, { "1100", "0011", "0011" } },
        PatternCase { "Menu", LED::MENU, { "1111", "0000", "0011" } },
        PatternCase { "MenuOutranksRecording", LED::MENU | LED::RECORDING, { "1111", "0000", "0011" } },
        PatternCase { "Error", LED::ERROR, { "1100", "0000", "0011" } },
        PatternCase { "EventDuringRecording", LED::EVENT_RECORDING | LED::RECORDING, { "1100", "1100", "1010" } },
        PatternCase { "ParkingRecording", LED::PARKING_RECORDING, { "1100", "1100", "1010" } },
        PatternCase { "ManualRecording", LED::MANUAL_RECORDING, { "1100", "1100", "1010" } },
        PatternCase { "RecordingWithFix", LED::RECORDING | LED::GPS_LOCK, { "0000", "1111", "0011" } },
        PatternCase { "RecordingWithoutFix", LED::RECORDING, { "1100", "1111", "0011" } },
        PatternCase { "ParkingMode", LED::PARKING_MODE, { "0000", "1100", "0011" } },
        PatternCase { "FixAlone", LED::GPS_LOCK, { "0000", "1111", "0000" } }),
    [](const ::testing::TestParamInfo<PatternCase>& info) { return std::string(info.param.name); });

TEST_F(Leds, DarkUntilTheFirstBitAndBlueWhenAllAreCleared)
{
    EXPECT_EQ(Run(2), (Lights { "00", "00", "00" }));
    _led->Set(LED::RECORDING);
    _led->Clear(LED::RECORDING);
    EXPECT_EQ(Run(2), (Lights { "00", "00", "00" })) << "a change undone within a tick is no change";
    _led->Set(LED::RECORDING);
    Run(1);
    _led->Clear(LED::RECORDING);
    EXPECT_EQ(Run(1), (Lights { "0", "1", "0" }));
}

TEST_F(Leds, DroppingAnEventOrTheFixReturnsToTheRecordingRows)
{
    _led->Set(LED::RECORDING | LED::GPS_LOCK | LED::EVENT_RECORDING);
    Run(4);
    _led->Clear(LED::EVENT_RECORDING);
    EXPECT_EQ(Run(4), (Lights { "0000", "1111", "0011" }));
    _led->Clear(LED::GPS_LOCK);
    EXPECT_EQ(Run(4), (Lights { "1100", "1111", "0011" }));
    _led->ClearAll();
    EXPECT_EQ(Run(1), (Lights { "0", "1", "0" }));
}

TEST_F(Leds, SlowBlinkHoldsOnePhaseForThreeTicksAtTheCounterWrap)
{
    _led->Set(LED::ERROR);
    std::string red = Run(258).red;
    int flips = 0;
    std::vector<int> phases(1, 1);
    for (size_t i = 1; i < red.size(); ++i) {
        if (red[i] != red[i - 1]) {
            ++flips;
            phases.push_back(0);
        }
        ++phases.back();
    }
    EXPECT_EQ(flips, 128) << "over 257 ticks";
    // Counts 255, 256 and 0 share one phase; the last phase has just begun.
    std::vector<int> expected(127, 2);
    expected.push_back(3);
    expected.push_back(1);
    EXPECT_EQ(phases, expected);
}

TEST_F(Leds, TheThreadLeavesRedLitWhenFinalized)
{
    _led->Set(LED::RECORDING | LED::GPS_LOCK);
    _led->Start();
    _led->Finalize();
    EXPECT_EQ(Pin(LED::GPIO_RED), '1');
    EXPECT_EQ(Pin(LED::GPIO_BLUE), '0');
    EXPECT_EQ(Pin(LED::GPIO_SECURITY), '0');
}

} // namespace
