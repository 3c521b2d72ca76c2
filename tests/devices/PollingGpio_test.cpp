// The power detectors, stepped through time in 20 ms polls on a clock of the
// test's own; the MCU status is set as the receiver would set it, B+ through
// its sysfs node, and every message posted is taken from the bus.

#include "dashrec/core/Pref.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/dvr/CMainDvr.h"
#include "host/board/McuModel.h"
#include "host/board/Sysfs.h"
#include "tests/devices/BusMessages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using devtest::Posted;
using devtest::ToAny;
using vk::Micom;
namespace WM = vk::WM;

uint64_t gNowUs = 0;

uint64_t TestClock()
{
    return gNowUs;
}

struct Seen {
    double atSec;
    Posted posted;
};

const Posted ACC_ON = ToAny(WM::ACC, vk::PARAM1::ACC_ON);
const Posted ACC_OFF = ToAny(WM::ACC, vk::PARAM1::ACC_OFF);
const Posted KEY_POWER = ToAny(WM::BUTTON, vk::PARAM1::KEY_POWER);

Posted Shutdown(Micom::REASON reason)
{
    return ToAny(WM::SHUTDOWN, reason);
}

class Detectors : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board::LayOutSysfs());
        vk::UIQueue::Inst()->Init();
        gNowUs = 100000000;
        vk::SetDetectorClock(TestClock);
        SetVolts(12.6f);
        SetCelsius(25.0f);
    }

    void TearDown() override
    {
        vk::SetDetectorClock(nullptr);
        vk::UIQueue::Inst()->Finalize();
    }

    void SetVolts(float volts) { _micom->micom_status.voltage = board::McuModel::VoltageAD(volts); }
    void SetCelsius(float celsius) { _micom->micom_status.temperature = board::McuModel::TemperatureAD(celsius); }
    void SetAcc(bool on) { _micom->micom_status.acc_status = on ? Micom::STATUS_ACC : 0; }
    void SetPowerKey(bool down) { _micom->micom_status.power_key_status = down ? Micom::STATUS_POWER_KEY : 0; }
    void SetParking(bool on)
    {
        vk::CMainDvr* recorder = vk::Singleton<vk::CMainDvr>::Inst();
        on ? recorder->SetParkingMode() : recorder->SetNormalMode();
    }

    // Polls `update` for `seconds`, calling `world` with the time before each poll.
    template <typename Update>
    std::vector<Seen> Run(double seconds, Update update, const std::function<void(double)>& world = nullptr,
                          long stepUs = 20000)
    {
        std::vector<Seen> seen;
        for (long step = 0; step * stepUs < std::lround(seconds * 1e6); ++step) {
            if (world)
                world(_elapsedSec);
            gNowUs += stepUs;
            _elapsedSec += stepUs / 1e6;
            update(stepUs);
            for (const Posted& posted : devtest::TakePosted())
                seen.push_back({ _elapsedSec, posted });
        }
        return seen;
    }

    static std::vector<Posted> Messages(const std::vector<Seen>& seen)
    {
        std::vector<Posted> messages;
        for (const Seen& s : seen)
            messages.push_back(s.posted);
        return messages;
    }

    Micom* _micom = vk::Singleton<Micom>::Inst();
    vk::Pref* _pref = vk::Singleton<vk::Pref>::Inst();
    double _elapsedSec = 0;
};

// ACC

TEST_F(Detectors, AccOnAfterFiveHalfSecondReadsOffAfterTwentyOne)
{
    struct Case {
        const char* name;
        bool startsOn; // a previous parking duration of 0
        bool acc;
        std::vector<double> at;
        Posted expected;
    };
    const Case cases[] = {
        { "starts on, ACC set", true, true, {}, {} },
        { "starts off, ACC set", false, true, { 2.5 }, ACC_ON },
        { "starts on, ACC clear", true, false, { 10.5 }, ACC_OFF },
        { "starts off, ACC clear", false, false, {}, {} },
    };
    for (const Case& c : cases) {
        vk::AccDetect acc(c.startsOn);
        SetAcc(c.acc);
        _elapsedSec = 0;
        std::vector<Seen> seen = Run(30, [&](long us) { acc.Update(us); });
        ASSERT_EQ(seen.size(), c.at.size()) << c.name;
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_NEAR(seen[i].atSec, c.at[i], 0.001) << c.name;
            EXPECT_EQ(seen[i].posted, c.expected) << c.name;
        }
    }
}

TEST_F(Detectors, AccTogglingEveryHalfSecondIsNeverReported)
{
    for (bool startsOn : { false, true }) {
        vk::AccDetect acc(startsOn);
        auto toggle = [&](double t) { SetAcc(std::fmod(t + 0.25, 1.0) < 0.5); };
        EXPECT_TRUE(Run(60, [&](long us) { acc.Update(us); }, toggle).empty()) << startsOn;
    }
}

TEST_F(Detectors, AccOffWaitsForTheSupplyAndFollowsItsReturn)
{
    vk::AccDetect acc(true);
    SetAcc(false);
    _pref->SetPowerStatus(false);
    EXPECT_TRUE(Run(20, [&](long us) { acc.Update(us); }).empty());
    _pref->SetPowerStatus(true);
    std::vector<Seen> seen = Run(5, [&](long us) { acc.Update(us); });
    ASSERT_EQ(Messages(seen), std::vector<Posted> { ACC_OFF });
    EXPECT_NEAR(seen[0].atSec, 20.5, 0.001);
}

// Parking battery and off-timer

TEST_F(Detectors, ParkingBatteryCutOffAfterFifteenSecondsBelowTheLimit)
{
    struct Case {
        float volts;
        bool fires;
    };
    // 12.2 V is the default cut-off of a car, 24.4 V of a truck.
    const Case cases[] = { { 11.0f, true }, { 12.4f, false }, { 23.0f, true }, { 25.0f, false } };
    for (const Case& c : cases) {
        SetParking(true);
        SetVolts(c.volts);
        vk::ParkingBatteryDetect battery(0);
        _elapsedSec = 0;
        std::vector<Seen> seen = Run(60, [&](long us) { battery.Update(us); });
        if (!c.fires) {
            EXPECT_TRUE(seen.empty()) << c.volts;
            continue;
        }
        ASSERT_EQ(Messages(seen), std::vector<Posted> { Shutdown(Micom::CUT_OFF_POWER) }) << c.volts;
        EXPECT_NEAR(seen[0].atSec, 15.3, 0.05) << "15 one-second samples";
    }
}

TEST_F(Detectors, ParkingBatteryIsWatchedOnlyWhileParked)
{
    SetParking(false);
    SetVolts(11.0f);
    vk::ParkingBatteryDetect battery(0);
    EXPECT_TRUE(Run(60, [&](long us) { battery.Update(us); }).empty());
}

TEST_F(Detectors, OffTimerCountsTheCarriedOverDurationAndTakesItsLimitFromThePreferences)
{
    struct Case {
        vk::PARKING::OFFTIMER::VALUE timer;
        uint64_t carried;
        double firesAfter;
    };
    const Case cases[] = {
        { vk::PARKING::OFFTIMER::H3, 1000, 10800 - 1000 },
        { vk::PARKING::OFFTIMER::H6, 20000, 21600 - 20000 },
    };
    for (const Case& c : cases) {
        SetParking(true);
        _pref->SetOffTimer(c.timer);
        vk::ParkingBatteryDetect battery(c.carried);
        _elapsedSec = 0;
        std::vector<Seen> seen = Run(c.firesAfter + 100, [&](long us) { battery.Update(us); }, nullptr, 100000);
        ASSERT_EQ(Messages(seen), std::vector<Posted> { Shutdown(Micom::CUT_OFF_TIME) }) << c.firesAfter;
        EXPECT_NEAR(seen[0].atSec, c.firesAfter, 1.2);
        EXPECT_NEAR(static_cast<double>(battery.GetDuration()), c.timer == vk::PARKING::OFFTIMER::H3 ? 10800 : 21600,
                    1.0);
    }
}

TEST_F(Detectors, SettingTheDateNeitherFiresNorSuppressesTheOffTimer)
{
    vk::SetDetectorClock(nullptr);
    SetParking(true);
    vk::ParkingBatteryDetect battery(0);
    battery.Update(1000001);
    timeval now = vk::SystemClock::Now();
    now.tv_sec += 86400;
    ASSERT_EQ(vk::SystemClock::Set(now), 0);
    battery.Update(1000001);
    EXPECT_TRUE(devtest::TakePosted().empty());
    EXPECT_LT(battery.GetDuration(), 5u);
}

// Temperature

TEST_F(Detectors, OverTemperatureInParkingNeedsFiveNewSamplesEachTime)
{
    SetParking(true);
    SetCelsius(75.0f);
    vk::TemperatureDetect temperature;
    std::vector<Seen> seen = Run(11, [&](long us) { temperature.Update(us); });
    ASSERT_EQ(Messages(seen), std::vector<Posted>(2, Shutdown(Micom::CUT_OFF_TEMPERATURE)));
    EXPECT_NEAR(seen[0].atSec, 5.1, 0.05);
    EXPECT_NEAR(seen[1].atSec, 10.2, 0.05);
}

TEST_F(Detectors, TemperatureBelowTheLimitOrOutsideParkingIsNotReported)
{
    vk::TemperatureDetect temperature;
    SetParking(true);
    SetCelsius(65.0f);
    EXPECT_TRUE(Run(10, [&](long us) { temperature.Update(us); }).empty());
    SetParking(false);
    SetCelsius(90.0f);
    EXPECT_TRUE(Run(10, [&](long us) { temperature.Update(us); }).empty());
}

// Power key

TEST_F(Detectors, PowerKeyHeldFiveSecondsPressesOnceAndAsksForShutdownOnce)
{
    vk::PowerKeyDetect key;
    Run(2, [&](long us) { key.Update(us); });
    SetPowerKey(true);
    _elapsedSec = 0;
    std::vector<Seen> seen = Run(20, [&](long us) { key.Update(us); });
    ASSERT_EQ(Messages(seen), (std::vector<Posted> { KEY_POWER, Shutdown(Micom::POWER_KEY) }));
    EXPECT_NEAR(seen[0].atSec, 0.02, 0.001);
    EXPECT_LT(seen[1].atSec, 6.5);
}

TEST_F(Detectors, TwoPressesWithinASecondAreOnePress)
{
    vk::PowerKeyDetect key;
    Run(2, [&](long us) { key.Update(us); });
    _elapsedSec = 0;
    auto presses = [&](double t) { SetPowerKey(t < 0.1 || (t >= 0.5 && t < 0.6)); };
    EXPECT_EQ(Messages(Run(1, [&](long us) { key.Update(us); }, presses)), std::vector<Posted> { KEY_POWER });
    EXPECT_EQ(Messages(Run(1, [&](long us) { key.Update(us); }, [&](double t) { SetPowerKey(t < 2.1); })),
              std::vector<Posted> { KEY_POWER });
}

// B+

class BatteryPlus : public Detectors {
protected:
    void SetSupply(const char* value) { ASSERT_TRUE(board::WriteNode(board::GpioValuePath(365), value)); }
    std::vector<Seen> Poll(double seconds) { return Run(seconds, [&](long us) { _bplus->Update(us); }); }

    void SetUp() override
    {
        Detectors::SetUp();
        _bplus = std::make_unique<vk::BatteryDetect>();
    }

    std::unique_ptr<vk::BatteryDetect> _bplus;
};

TEST_F(BatteryPlus, LossAfterTheSupplyCameUpAsksForShutdownOnce)
{
    EXPECT_TRUE(Poll(0.2).empty());
    EXPECT_TRUE(_pref->HadTurnedOn());
    EXPECT_TRUE(_pref->GetPowerStatus());
    SetSupply("1");
    _elapsedSec = 0;
    std::vector<Seen> seen = Poll(2);
    ASSERT_EQ(Messages(seen), std::vector<Posted> { Shutdown(Micom::NORMAL_OFF_POWER) });
    EXPECT_NEAR(seen[0].atSec, 0.1, 0.001) << "five polls";
    EXPECT_FALSE(_pref->GetPowerStatus());
    EXPECT_FALSE(_bplus->SendKeys());
}

TEST_F(BatteryPlus, LossBeforeTheSupplyCameUpOnlyClearsThePowerStatus)
{
    SetSupply("1");
    EXPECT_TRUE(Poll(2).empty());
    EXPECT_FALSE(_pref->HadTurnedOn());
    EXPECT_FALSE(_pref->GetPowerStatus());
}

TEST_F(BatteryPlus, AnUnreadableInputIsNotALostSupply)
{
    Poll(0.2);
    ASSERT_TRUE(_pref->HadTurnedOn());
    ASSERT_EQ(std::remove(board::GpioValuePath(365).c_str()), 0);
    EXPECT_TRUE(Poll(2).empty());
    EXPECT_TRUE(_pref->GetPowerStatus());
    SetSupply("");
    EXPECT_TRUE(Poll(2).empty());
    EXPECT_TRUE(_pref->GetPowerStatus());
}

} // namespace
