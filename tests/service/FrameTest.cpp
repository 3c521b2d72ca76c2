// What every service mode shares, on a bare mode of the frame: the firmware
// version text with its language picture (the file written by `dashrec f`
// included), the RTC check with its clock rule, and power-off.

#include "dashrec/core/Pref.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/modes/ServiceMode.h"
#include "dashrec/ui/Resource.h"
#include "tests/prefs/ChipFiles.h"
#include "tests/service/ServiceBench.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace service;
using vk::Singleton;

// The frame alone, its parts within reach.
class BareMode : public vk::ServiceMode {
public:
    BareMode() : ServiceMode(vk::WND::CMAIN_FACTORY, "CMainFactory") {}
    void Initialize(bool) override {}
    void Start() override {}
    void Finalize() override {}
    using ServiceMode::CheckRtc;
    using ServiceMode::LoadVersion;
    using ServiceMode::PowerOff;
};

class Frame : public testing::Test {
protected:
    void SetUp() override
    {
        PrepareProgram();
        Singleton<vk::Resource>::Inst()->Init(720, 480, false);
    }
    void TearDown() override { Singleton<vk::Resource>::Inst()->Finalize(); }

    // The language picture LoadVersion chose.
    std::string Picture(char letter)
    {
        obj_image picture;
        EXPECT_EQ(mode.LoadVersion(&picture), letter);
        for (const char* name : { "4830_japanese.png", "4830_english.png", "4830_korean.png", "4830_error.png" })
            if (picture.image == Singleton<vk::Resource>::Inst()->GetSurface(name))
                return name;
        return "";
    }

    BareMode mode;
};

TEST_F(Frame, VersionFileGivesTheVersionTextAndTheLanguagePicture)
{
    // The MCU has not answered: its version reads 0.
    const struct {
        const char* file; // nullptr: no file
        char letter;
        const char* sw;
        const char* ver;
        const char* picture;
    } cases[] = {
        { "v1.1.4K\n", 'K', "v1.1.4-0", "DASHREC v1.1.4-0", "4830_korean.png" },
        { "v2.0.1J\n", 'J', "v2.0.1-0", "DASHREC v2.0.1-0", "4830_japanese.png" },
        { "v2.0.1E", 'E', "v2.0.1-0", "DASHREC v2.0.1-0", "4830_english.png" },
        { "v2.0.1X\nmore\n", 'X', "v2.0.1-0", "DASHREC v2.0.1-0", "4830_error.png" },
        // No version is an error on the line's screen, not "-0".
        { "", 0, "", "ERROR", "4830_error.png" },
        { "\n", 0, "", "ERROR", "4830_error.png" },
        { "K\n", 'K', "", "ERROR", "4830_korean.png" },
        { nullptr, 0, "", "ERROR", "4830_error.png" },
        // Longer than the fields: cut there, the letter still from the line's end.
        { "v1.1.4-a-very-long-build-name-for-the-lineE\n", 'E', "v1.1.4-a-very-long-build-name-f",
            "DASHREC v1.1.4-a-very-long-buil", "4830_english.png" },
    };
    for (const auto& c : cases) {
        unlink(vk::ServiceMode::VERSION_FILE);
        if (c.file != nullptr)
            std::ofstream(vk::ServiceMode::VERSION_FILE) << c.file;
        BareMode fresh;
        obj_image picture;
        EXPECT_EQ(fresh.LoadVersion(&picture), c.letter) << (c.file ? c.file : "no file");
        EXPECT_STREQ(fresh.GetSoftwareVersion(), c.sw);
        EXPECT_STREQ(fresh.GetVersionText(), c.ver);
        EXPECT_EQ(picture.image, Singleton<vk::Resource>::Inst()->GetSurface(c.picture)) << c.picture;
    }
}

TEST_F(Frame, TheProgramsVersionArgumentWritesTheFileTheModesRead)
{
    ASSERT_EQ(Shell(std::string(DASHREC_PROGRAM) + " f > /tmp/f.log"), 0);
    EXPECT_EQ(ReadFile("/tmp/fversion"), "v1.1.4K\n");
    EXPECT_EQ(Count(ReadFile("/tmp/f.log"), "++ factory settings:echo v1.1.4K > /tmp/fversion ++"), 1u);
    EXPECT_EQ(Picture('K'), "4830_korean.png");
    EXPECT_STREQ(mode.GetSoftwareVersion(), "v1.1.4-0");
}

void SetRtc(int year, int month, int day, int hour)
{
    ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->SetTime({ 0, 0, hour, day, month, year, 0 }));
}

TEST_F(Frame, TheRtcMovesTheClockForwardOnly)
{
    vk::Rtc* rtc = Singleton<vk::Rtc>::Inst();
    ASSERT_TRUE(rtc->Init());
    SetRtc(45, 6, 1, 12);
    EXPECT_TRUE(mode.CheckRtc());
    long later = vk::SystemClock::Now().tv_sec;
    EXPECT_GE(later, 2379000000L) << "2045 reached";

    SetRtc(22, 6, 1, 12);
    EXPECT_TRUE(mode.CheckRtc());
    EXPECT_GE(vk::SystemClock::Now().tv_sec, later) << "never moved back";
}

TEST_F(Frame, ANonsenseRtcTimeIsResetAndAnUnreadableRtcReported)
{
    vk::Rtc* rtc = Singleton<vk::Rtc>::Inst();
    ASSERT_TRUE(rtc->Init());
    chips::SetBytes("isl1208", std::vector<unsigned char>(0x14, 0));
    EXPECT_TRUE(mode.CheckRtc());
    vk::Rtc::RtcTime t {};
    ASSERT_TRUE(rtc->GetTime(t));
    EXPECT_EQ(t.year, 21);
    EXPECT_EQ(t.mon, 1);
    EXPECT_EQ(t.date, 1);
    EXPECT_EQ(t.hour, 0);

    chips::Refuse("isl1208", -1);
    EXPECT_FALSE(mode.CheckRtc());
}

TEST_F(Frame, PowerOffAsksTheMcuThreeTimesWithTheReasonAndEndsTheProgram)
{
    Singleton<vk::Pref>::Inst()->SetBootStatus(vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY);
    std::fflush(nullptr);
    // The simulator's threads start after the fork, which copies none of them.
    pid_t child = fork();
    if (child == 0) {
        if (!runmode::WaitForMcuLine())
            _exit(97);
        Singleton<vk::Micom>::Inst()->Start();
        mode.PowerOff(vk::Micom::CUT_OFF_TIME, true);
    }
    auto sim = StartBoard("0s acc on\n");
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> powerOff;
    for (const board::McuFrame& frame : sim->Received())
        if (frame.cmd == vk::Micom::CPU_CMD_POWER_OFF)
            powerOff.push_back(board::DescribeFrame(frame));
    EXPECT_EQ(powerOff, std::vector<std::string>(3, "POWER_OFF 0 3"));
    EXPECT_EQ(access("/tmp/shutdown", F_OK), 0);
    EXPECT_TRUE(WaitUntil([] { return Count(ShimLog(), "aplay /app/kvo/rsc/sound/S_power_off.wav") == 1; }, 10000))
        << ShimLog();
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->Init();
    EXPECT_EQ(pref->GetBootMode(), vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY);
    sim->Stop();
}

} // namespace
