// The 300 ms medium check with real card nodes coming and going, the MCU
// watchdog over a pty, and recording-file errors counted into /data/app.

#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/ui/UITimer.h"
#include "host/board/McuModel.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"
#include "tests/runmode/Harness.h"
#include "tests/speedcam/DbFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace runmode;

const char* const GOOD_LAYOUT = "wqhd fhd 30 30 sd sd mstar";

size_t PoolSize()
{
    return Singleton<vk::FileLoop>::Inst()->List(vk::FileLoop::NORMAL, vk::FileLoop::FRONT).size();
}

void CardDetect(bool detected)
{
    ASSERT_TRUE(board::WriteNode("/sys/sdcard0/detect", detected ? "1" : "0"));
}

class Medium : public ::testing::Test {
protected:
    void SetUp() override { PrepareBoard(); }
    void TearDown() override { _dvr->Finalize(); }

    // One medium check as its timer delivers it; what it posted.
    std::vector<Posted> Check()
    {
        Singleton<vk::UITimer>::Inst()->Kill(WND::CMAIN_DVR, TIMER::CMAIN_CHECK_SDCARD);
        FireTimer(TIMER::CMAIN_CHECK_SDCARD);
        EXPECT_EQ(Armed(TIMER::CMAIN_CHECK_SDCARD), 300) << "re-armed";
        return Drain();
    }

    CMainDvr* _dvr = nullptr;
};

TEST_F(Medium, CardOutAndInWhileParked)
{
    InsertCard(GOOD_LAYOUT);
    MountCard();
    _dvr = InitializeRecorder();
    ASSERT_TRUE(_dvr->IsSdCardOn());
    ASSERT_GT(PoolSize(), 10u);
    _dvr->SetParkingMode();

    RemoveCard();
    EXPECT_EQ(Check(), (std::vector<Posted> { { WND::LIVEVIEW, WM::SD_CARD, 0, 0 } }));
    EXPECT_FALSE(_dvr->IsSdCardOn());
    EXPECT_EQ(PoolSize(), 0u);
    EXPECT_TRUE(WaitUntil([] { return Count(ShimLog(), "insert_sd") == 1; })) << "the insert-card prompt, played aside";
    EXPECT_EQ(Armed(TIMER::NO_SDCARD_IN_PARKING_MODE), 60000);

    InsertCard(GOOD_LAYOUT);
    MountCard();
    EXPECT_EQ(Check(), (std::vector<Posted> { { WND::LIVEVIEW, WM::SD_CARD, 1, 0 } }));
    EXPECT_TRUE(_dvr->IsSdCardOn());
    EXPECT_GT(PoolSize(), 10u) << "the pool mounted again";
    EXPECT_EQ(Check(), std::vector<Posted> {}) << "nothing changed";
}

TEST_F(Medium, AnInsertedCardLeadsToTheWindowItsStateNeeds)
{
    _dvr = InitializeRecorder();
    struct Case {
        const char* name;
        std::function<void()> insert;
        std::vector<Posted> posted;
    };
    const Case cases[] = {
        { "a card of this layout records", [] { InsertCard(GOOD_LAYOUT); MountCard(); },
          { { WND::LIVEVIEW, WM::SD_CARD, 1, 0 } } },
        { "a card of another layout is offered a format", [] { InsertCard("hd hd 30 30 sd sd mstar"); },
          { { WND::LIVEVIEW, WM::CLOSE, WND::FORCE_FORMAT, WND::LIVEVIEW } } },
        { "a card without a file system is a write error", [] { InsertCard(""); },
          { { WND::LIVEVIEW, WM::CLOSE, WND::SD_WRITE_ERROR, WND::LIVEVIEW } } },
    };
    for (const Case& c : cases) {
        c.insert();
        EXPECT_EQ(Check(), c.posted) << c.name;
        RemoveCard();
        Check();
        ASSERT_FALSE(_dvr->IsSdCardOn()) << c.name;
    }
}

TEST_F(Medium, ACardInTheSlotWithoutADeviceIsADummyAfterFiveChecks)
{
    _dvr = InitializeRecorder();
    const Posted writeError { WND::LIVEVIEW, WM::CLOSE, WND::SD_WRITE_ERROR, 0 };
    CardDetect(true);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(Check(), std::vector<Posted> {}) << "check " << i;
    EXPECT_EQ(Check(), std::vector<Posted> { writeError }) << "check 5";
    // A check without the card starts the count again.
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(Check(), std::vector<Posted> {}) << "check " << i;
    CardDetect(false);
    Check();
    CardDetect(true);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(Check(), std::vector<Posted> {}) << "after a reset, check " << i;
    EXPECT_EQ(Check(), std::vector<Posted> { writeError });
}

// The MCU's end of its serial line: the frames the program sends.
class McuLine {
public:
    bool Bind() { return _line.Bind("/dev/ttyS1"); }
    void ReportPowerOn()
    {
        board::McuModel::Bytes info = board::McuModel::InfoFrame(false);
        _line.Write(info.data(), info.size());
    }
    std::vector<std::string> Frames(int waitMs = 300)
    {
        std::vector<board::McuFrame> frames;
        uint8_t bytes[64];
        ssize_t n = 0;
        while ((n = _line.Read(bytes, sizeof(bytes), waitMs)) > 0)
            _mcu.Receive(bytes, static_cast<size_t>(n), frames);
        std::vector<std::string> described;
        for (const board::McuFrame& frame : frames)
            described.push_back(board::DescribeFrame(frame));
        return described;
    }

private:
    board::PtyLine _line;
    board::McuModel _mcu;
};

TEST(Watchdog, EnabledOnceTheMcuReportsPowerThenKickedEveryThreeSeconds)
{
    ASSERT_TRUE(board::LayOutSysfs());
    McuLine mcu;
    ASSERT_TRUE(mcu.Bind());
    vk::Micom* micom = Singleton<vk::Micom>::Inst();
    micom->Init();
    micom->Start();
    Singleton<vk::UITimer>::Inst()->Init(10);
    ASSERT_EQ(mcu.Frames(), std::vector<std::string> { "START 0 0" });

    for (int retry = 0; retry < 2; ++retry) {
        FireTimer(TIMER::CMAIN_ENABLE_WATCHDOG);
        EXPECT_EQ(mcu.Frames(), std::vector<std::string> {}) << "power still off";
        EXPECT_EQ(Armed(TIMER::CMAIN_ENABLE_WATCHDOG), 1000) << "retried every second";
    }
    mcu.ReportPowerOn();
    for (int i = 0; i < 100 && !micom->IsPowerOn(); ++i)
        usleep(10000);
    FireTimer(TIMER::CMAIN_ENABLE_WATCHDOG);
    EXPECT_EQ(mcu.Frames(), std::vector<std::string> { "WDT_EN 0 1" });
    EXPECT_EQ(Armed(TIMER::CMAIN_RESET_WATCHDOG), 3000);
    for (int kick = 0; kick < 2; ++kick) {
        FireTimer(TIMER::CMAIN_RESET_WATCHDOG);
        EXPECT_EQ(mcu.Frames(), std::vector<std::string> { "WDT_RESET 0 10" });
        EXPECT_EQ(Armed(TIMER::CMAIN_RESET_WATCHDOG), 3000);
    }
    micom->Finalize();
}

TEST(WriteErrors, TwoRestartRecordingAndTheThirdRestartsTheProgram)
{
    PrepareBoard();
    vk::UIQueue::Inst()->Init();
    Singleton<vk::UITimer>::Inst()->Init(10);
    InsertCard("");
    CMainDvr* dvr = Singleton<CMainDvr>::Inst();
    const Posted restart { WND::LIVEVIEW, WM::RECORD_RESTART, 0, 0 };

    // Errors of a medium that is not mounted are not counted.
    FireTimer(TIMER::FILE_WRITE_FAILED);
    EXPECT_EQ(Drain(), std::vector<Posted> {});
    EXPECT_FALSE(dvr->IsMounted());

    // The card's own file system at the mount point.
    ASSERT_EQ(Shell("mount -t tmpfs card /mnt/extsd && mkdir /mnt/extsd/SYSTEM"), 0);
    ASSERT_TRUE(dvr->IsMounted());
    FireTimer(TIMER::FILE_WRITE_FAILED);
    FireTimer(TIMER::FILE_OPEN_FAILED);
    EXPECT_EQ(Drain(), (std::vector<Posted> { restart, restart }));
    EXPECT_EQ(ReadFile("/data/app/FileWriteFailed"), "1\n");
    EXPECT_EQ(ReadFile("/data/app/FileOpenFailed"), "1\n");
    EXPECT_NE(ReadFile("/data/app/dev.ls").find("mmcblk1p1"), std::string::npos) << "the snapshot for diagnosis";

    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->SetBootStatus(vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY);
    int status = RunInChild([] { FireTimer(TIMER::FILE_WRITE_FAILED); });
    EXPECT_EQ(status, 0) << ReadFile("/tmp/child.log");
    EXPECT_NE(ReadFile("/tmp/child.log").find("WriteErrorCount & exit"), std::string::npos);
    EXPECT_EQ(ReadFile("/data/app/FileWriteFailed"), "2\n");
    EXPECT_NE(access("/tmp/exit", F_OK), 0) << "no marker: the launcher starts the program again";
    EXPECT_NE(access("/tmp/shutdown", F_OK), 0);
    pref->Init();
    EXPECT_EQ(pref->GetBootMode(), vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY) << "the next start announces as this one";
    Shell("umount /mnt/extsd");
    vk::UIQueue::Inst()->Finalize();
}

TEST(SpeedCamDatabase, TheEmmcCopyWinsUnlessMissingOrDamaged)
{
    const char* const emmc = "/data/app/sc_cam.idb";
    struct Case {
        const char* what;
        off_t emmcSize; // -1: none; 0: whole
        const char* loaded;
        const char* logged;
    } cases[] = {
        {"whole", 0, "EMMC", "[SpeedCam]Load /data/app/sc_cam.idb success"},
        {"truncated after its header", 20, "SHIPPED",
         "[SpeedCamDB]/data/app/sc_cam.idb holds 20 bytes, not the 64 of 2 records"},
        {"missing", -1, "SHIPPED", "[SpeedCam]laod /data/app/sc_cam.idb fail"},
    };
    Shell("mkdir -p /data/app /app/kvo");
    speedcam_test::Camera camera{1, 0, 60, 0, 127.0, 37.5, 127.0, 37.501};
    speedcam_test::WriteDb("/app/kvo/sc_cam.idb", {camera}, "SHIPPED");
    for (const Case& c : cases) {
        std::remove(emmc);
        if (c.emmcSize >= 0)
            speedcam_test::WriteDb(emmc, {camera, camera}, "EMMC");
        if (c.emmcSize > 0) {
            ASSERT_EQ(truncate(emmc, c.emmcSize), 0);
        }
        // Each in a program of its own: a database once loaded stays.
        int status = RunInChild([] {
            Singleton<CMainDvr>::Inst()->LoadSpeedCamDB();
            std::printf("version %s\n", Singleton<vk::SpeedCam>::Inst()->Version());
            std::fflush(stdout);
            _exit(0);
        });
        EXPECT_EQ(status, 0) << c.what;
        std::string log = ReadFile("/tmp/child.log");
        EXPECT_NE(log.find(std::string("version ") + c.loaded + "\n"), std::string::npos) << c.what << ": " << log;
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.what << ": " << log;
    }
}

} // namespace
