#include "ChipFiles.h"

#include "dashrec/devices/Rtc.h"

#include <gtest/gtest.h>

namespace {

using vk::Rtc;

const char* const BOARD = "/dev/i2c-2 isl1208\n";
enum { SC = 0, MN, HR, DT, MO, YR, DW, SR };

class RtcTest : public testing::Test {
protected:
    void SetUp() override
    {
        chips::UseBoard(BOARD);
        ASSERT_TRUE(rtc->Init());
    }

    // The time registers as a clock would hold them, the seconds at 0 so none tick over during a test.
    static void Inject(unsigned char hourRegister)
    {
        std::vector<unsigned char> regs(0x14, 0);
        regs[SC] = 0x00;
        regs[MN] = 0x45;
        regs[HR] = hourRegister;
        regs[DT] = 0x31;
        regs[MO] = 0x12;
        regs[YR] = 0x24;
        regs[DW] = 2;
        regs[SR] = 0x01;
        chips::SetBytes("isl1208", regs);
    }

    Rtc* rtc = vk::Singleton<Rtc>::Inst();
};

TEST_F(RtcTest, HourRegisterReadsAsTwentyFourHours)
{
    const struct {
        unsigned char reg;
        int hour;
    } cases[] = { { 0x12, 0 }, { 0x32, 12 }, { 0x21, 13 }, { 0x09, 9 }, { 0x31, 23 }, { 0x11, 11 } };
    for (const auto& c : cases) {
        Inject(c.reg);
        Rtc::RtcTime t {};
        ASSERT_TRUE(rtc->GetTime(t));
        EXPECT_EQ(c.hour, t.hour) << std::hex << int(c.reg);
        EXPECT_EQ(45, t.min);
        EXPECT_EQ(31, t.date);
        EXPECT_EQ(12, t.mon);
        EXPECT_EQ(24, t.year);
        EXPECT_EQ(2, t.dayofweek);
    }
}

TEST_F(RtcTest, SetTimeWritesBcdAndTwelveHourRegisters)
{
    const struct {
        int hour;
        unsigned char reg;
    } cases[] = { { 0, 0x12 }, { 12, 0x32 }, { 23, 0x31 }, { 11, 0x11 }, { 13, 0x21 } };
    for (const auto& c : cases) {
        ASSERT_TRUE(rtc->SetTime(Rtc::RtcTime { 59, 30, c.hour, 28, 2, 19, 4 }));
        std::vector<unsigned char> regs = chips::Bytes("isl1208");
        EXPECT_EQ(c.reg, regs[HR]) << "hour " << c.hour;
        EXPECT_EQ(0x30, regs[MN]);
        EXPECT_EQ(0x28, regs[DT]);
        EXPECT_EQ(0x02, regs[MO]);
        EXPECT_EQ(0x19, regs[YR]);
        EXPECT_EQ(4, regs[DW]);
        EXPECT_EQ(0x11, regs[SR]);
    }
}

TEST_F(RtcTest, InvalidTimesAreRefusedAndWriteNothing)
{
    const Rtc::RtcTime good { 0, 30, 15, 10, 6, 24, 1 };
    std::vector<Rtc::RtcTime> bad(8, good);
    bad[0].year = 0;
    bad[1].mon = 0;
    bad[2].date = 0;
    bad[3].year = 51;
    bad[4].hour = 24;
    bad[5].min = 60;
    bad[6].sec = 60;
    bad[7].mon = 13;
    for (const Rtc::RtcTime& t : bad) {
        EXPECT_FALSE(rtc->SetTime(t));
        EXPECT_TRUE(chips::Bytes("isl1208").empty()) << "a refused time reached the chip";
    }
    EXPECT_TRUE(rtc->SetTime(good));
}

TEST_F(RtcTest, FailingReadGivesTheLastTimeSet)
{
    ASSERT_TRUE(rtc->SetTime(Rtc::RtcTime { 0, 30, 15, 10, 6, 24, 1 }));
    chips::Refuse("isl1208", -1);
    Rtc::RtcTime t {};
    EXPECT_FALSE(rtc->GetTime(t));
    EXPECT_EQ(15, t.hour);
    EXPECT_EQ(30, t.min);
    EXPECT_EQ(0, t.sec);
    EXPECT_EQ(24, t.year);
}

TEST_F(RtcTest, StoppedClockIsRestartedAndStillReadsZero)
{
    chips::SetBytes("isl1208", std::vector<unsigned char>(0x14, 0));
    Rtc::RtcTime t { 1, 1, 1, 1, 1, 1, 1 };
    EXPECT_TRUE(rtc->GetTime(t));
    EXPECT_EQ(0, t.year);
    EXPECT_EQ(0, t.mon);
    EXPECT_EQ(0, t.hour);
    EXPECT_EQ(0, t.sec);
    std::vector<unsigned char> regs = chips::Bytes("isl1208");
    EXPECT_EQ(0x01, regs[SC]) << "the clock was given its first second";
    EXPECT_EQ(0x01, regs[SR]);
}

TEST_F(RtcTest, WithoutTheChipReadsGiveTheFirstTime)
{
    chips::UseBoard("/dev/i2c-2 at24cs32\n");
    ASSERT_TRUE(rtc->Init()) << "the bus is there";
    Rtc::RtcTime t {};
    EXPECT_FALSE(rtc->GetTime(t));
    EXPECT_EQ(19, t.year);
    EXPECT_EQ(1, t.mon);
    EXPECT_EQ(1, t.date);
    EXPECT_EQ(0, t.hour);
    EXPECT_FALSE(rtc->SetTime(Rtc::RtcTime { 0, 30, 15, 10, 6, 24, 1 }));

    chips::UseBoard("");
    EXPECT_FALSE(rtc->Init()) << "no bus at all";
    EXPECT_FALSE(rtc->GetTime(t));
}

TEST_F(RtcTest, ConversionsOfEveryTwoDigitNumber)
{
    for (int v = 0; v < 100; ++v)
        EXPECT_EQ(v, Rtc::BCD2INT(Rtc::INT2BCD(v)));
    EXPECT_EQ(0x59, Rtc::INT2BCD(59));
    EXPECT_EQ(23, Rtc::BCD2INT(0x23));
}

TEST_F(RtcTest, ClockModelKeepsRunning)
{
    ASSERT_TRUE(rtc->SetTime(Rtc::RtcTime { 58, 59, 23, 31, 12, 24, 2 }));
    chips::Age("isl1208", 3);
    Rtc::RtcTime t {};
    ASSERT_TRUE(rtc->GetTime(t));
    EXPECT_EQ(25, t.year);
    EXPECT_EQ(1, t.mon);
    EXPECT_EQ(1, t.date);
    EXPECT_EQ(0, t.hour);
    EXPECT_EQ(0, t.min);
    EXPECT_GE(t.sec, 1);
    EXPECT_EQ(3, t.dayofweek);
}

} // namespace
