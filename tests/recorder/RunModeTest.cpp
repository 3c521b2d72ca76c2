// The normal run mode in the sandbox with the engine replaying pre-encoded
// video: its first window for each state of the card, its loop, its end on
// EXIT; and the device helpers that reach shell programs.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/EngineCallbacks.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/dvr/CMainDvr.h"
#include "tests/prefs/ChipFiles.h"
#include "tests/runmode/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

using namespace runmode;
using vk::Singleton;

// Runs the recorder with the card as its medium until EXIT ends it; returns its first window.
vk::WND::ID RunRecorder()
{
    std::string replay = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/soc-replay";
    Shell("mkdir -p " + replay);
    setenv("DASHREC_SOC_VENC", "replay", 1);
    setenv("DASHREC_SOC_REPLAY_DIR", replay.c_str(), 1);
    EXPECT_EQ(chdir(std::getenv("DASHREC_BINARY_DIR")), 0);
    Singleton<vk::SDDebug>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->SetSdCardRecording();

    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->Initialize(true);
    std::atomic<bool> ended { false };
    std::thread exit([&ended] {
        // Let the loop run a while, then ask it to end until it does.
        sleep(1);
        while (!ended) {
            vk::UIQueue::Inst()->SendMessage(vk::WND::CMAIN_DVR, vk::WM::EXIT, 0, 0);
            usleep(300 * 1000);
        }
    });
    dvr->Start();
    ended = true;
    exit.join();
    dvr->Finalize();
    EXPECT_EQ(access("/tmp/exit", F_OK), 0) << "the exit marker for the launcher";
    return dvr->FirstWindow();
}

TEST(RunMode, WithoutACardStartsOnTheLiveView)
{
    EXPECT_EQ(RunRecorder(), vk::WND::LIVEVIEW);
    EXPECT_FALSE(Singleton<vk::CMainDvr>::Inst()->IsSdCardOn());
}

TEST(RunMode, ACardOfAnotherLayoutStartsOnTheForcedFormat)
{
    InsertCard("hd hd 30 30 sd sd mstar");
    EXPECT_EQ(RunRecorder(), vk::WND::FORCE_FORMAT);
    EXPECT_FALSE(Singleton<vk::CMainDvr>::Inst()->IsSdCardOn());
}

TEST(RunMode, AGoodCardStartsOnTheLiveViewWithItsFilesInThePool)
{
    InsertCard("wqhd fhd 30 30 sd sd mstar");
    // The launcher mounts the card before it starts the recorder.
    ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
    EXPECT_EQ(RunRecorder(), vk::WND::LIVEVIEW);
    EXPECT_TRUE(Singleton<vk::CMainDvr>::Inst()->IsSdCardOn());
    vk::FileLoop* loop = Singleton<vk::FileLoop>::Inst();
    EXPECT_GT(loop->List(vk::FileLoop::NORMAL, vk::FileLoop::FRONT).size(), 10u);
    EXPECT_GT(loop->List(vk::FileLoop::PARKING, vk::FileLoop::REAR).size(), 10u);
}

TEST(DeviceHelpers, WiFiStartsTheAccessPointOnceWithThePreferencesConfiguration)
{
    // The board starts hostapd by its full path: lay the shim over /usr/sbin here.
    ASSERT_EQ(Shell("mkdir -p /tmp/sbin && ln -sf " + Source() + "/host/bin/hostapd /tmp/sbin/hostapd"
                    + " && mount -t overlay overlay -o lowerdir=/tmp/sbin:/usr/sbin /usr/sbin"),
              0);
    Singleton<vk::Pref>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->SetHostapd();
    std::string config = ReadFile(vk::CMainDvr::PATH_HOSTAPD_CONF);
    ASSERT_FALSE(config.empty());

    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    const int switches[] = { 1, 0, 1 };
    for (int on : switches) {
        ipc_msg_t msg {};
        msg.cmd = vk::WM::WIFI;
        msg.param1 = on;
        dvr->OnWiFi(msg);
    }
    usleep(300 * 1000); // the programs run in the background
    std::string log = ShimLog();
    EXPECT_EQ(Count(log, "hostapd /tmp/apd.cfg\n"), 1u) << log;
    EXPECT_EQ(Count(log, "ifconfig wlan0 192.168.20.1 netmask 255.255.255.0\n"), 1u) << log;
    EXPECT_EQ(Count(log, "dnsmasq -iwlan0 --no-resolv --no-poll --local-service --dhcp-range=192.168.20.100,192.168.20.190,48h\n"), 1u) << log;
    EXPECT_EQ(Count(log, "rfkill unblock 0\n"), 2u) << log;
    EXPECT_EQ(Count(log, "rfkill block 0\n"), 1u) << log;
    EXPECT_EQ(ReadFile(std::string(std::getenv("DASHREC_HOST_DIR")) + "/hostapd.conf"), config);
    EXPECT_TRUE(Singleton<vk::Pref>::Inst()->IsWiFiOn());
}

TEST(DeviceHelpers, UsbEventsSetTheStateAndTellTheWindows)
{
    vk::UIQueue::Inst()->Init();
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    struct {
        std::string event;
        bool connected;
        int posted; // 0: nothing
    } const cases[] = {
        { std::string("change@/devices/virtual/android_usb/android0\0USB_STATE=CONNECTED", 64), true, 0 },
        { std::string("change@/devices/virtual/android_usb/android0\0USB_STATE=CONFIGURED", 65), true,
          vk::WM::CONNECT_USB },
        { std::string("change@/devices/virtual/android_usb/android0\0USB_STATE=DISCONNECTED", 67), false,
          vk::WM::DISCONNECT_USB },
        { std::string("add@/devices/platform/soc/udc-controller"), false, 0 },
        { std::string("add@/devices/virtual/net/wlan0"), false, 0 },
    };
    for (const auto& c : cases) {
        dvr->OnUsbEvent(c.event.data(), static_cast<int>(c.event.size()));
        EXPECT_EQ(dvr->IsConnectedToUSB(), c.connected) << c.event;
        ipc_msg_t msg {};
        int received = vk::UIQueue::Inst()->RecvMessage(msg, 50);
        EXPECT_EQ(received > 0 ? msg.cmd : 0, c.posted) << c.event;
        EXPECT_TRUE(received <= 0 || msg.wnd == vk::WND::ANY) << c.event;
    }
    vk::UIQueue::Inst()->Finalize();
}

TEST(DeviceHelpers, CpuClockLevelsAndBacklight)
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    Shell("mkdir -p /sys/class/soc_dump /sys/class/backlight/lcd0");
    const struct {
        int level;
        const char* written;
    } cases[] = {
        { 0, "0x03001000 0x8a001800\n" }, { 1, "0x03001000 0x8a002100\n" }, { 2, "0x03001000 0x8a002500\n" },
        { 3, "0x03001000 0x8a002900\n" }, { 4, "0x03001000 0x8a002d00\n" }, { 7, "0x03001000 0x8a002d00\n" },
    };
    for (const auto& c : cases) {
        dvr->SetCpuClock(c.level);
        EXPECT_EQ(ReadFile("/sys/class/soc_dump/write"), c.written) << c.level;
    }
    dvr->TurnOnLcd();
    EXPECT_EQ(ReadFile("/sys/class/backlight/lcd0/bl_power"), "0\n");
    dvr->TurnOffLcd();
    EXPECT_EQ(ReadFile("/sys/class/backlight/lcd0/bl_power"), "4\n");
    EXPECT_FALSE(dvr->IsLcdOn());
}

TEST(MenuStack, KeepsThePathFromTheTopOfTheMenusToTheCurrentWindow)
{
    using namespace vk::WND;
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    const struct {
        ID id;
        int clear;
        ID used;
        int depth;
    } steps[] = {
        { LIVEVIEW, 1, LIVEVIEW, 1 },
        { MAINMENU, 0, MAINMENU, 2 },
        { SYSTEM, 0, SYSTEM, 3 },
        { VERSION, 0, VERSION, 4 },
        { PREVIOUS_MENU, 0, SYSTEM, 3 },
        { MAINMENU, 0, MAINMENU, 2 }, // already on the stack: cut back to it
        { RECORDING, 0, RECORDING, 3 },
        { LIVEVIEW, 0, LIVEVIEW, 1 },
    };
    for (const auto& step : steps) {
        EXPECT_EQ(dvr->SetMenuId(step.id, step.clear), step.used) << step.id;
        EXPECT_EQ(dvr->GetMenuDepth(), step.depth) << step.id;
        EXPECT_EQ(dvr->GetMenuId(-1), step.used) << "the top is the current window";
    }
    EXPECT_EQ(dvr->GetMenuId(0), LIVEVIEW);
    EXPECT_EQ(dvr->GetMenuId(5), LIVEVIEW) << "past the top";
}

TEST(MenuStackDeath, PopWithOneEntryEndsTheProgram)
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->SetMenuId(vk::WND::LIVEVIEW, 1);
    EXPECT_EXIT(dvr->SetMenuId(vk::WND::PREVIOUS_MENU, 0), testing::ExitedWithCode(0), "");
}

timeval LocalTime(int year, int month, int day, int hour, int min, int sec)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    return timeval { std::mktime(&tm), 0 };
}

TEST(DeviceHelpers, SystemTimeComesFromTheClockChipButNeverGoesBack)
{
    chips::UseBoard("/dev/i2c-2 isl1208\n");
    vk::Rtc* rtc = Singleton<vk::Rtc>::Inst();
    ASSERT_TRUE(rtc->Init());
    Singleton<vk::Pref>::Inst()->Init();
    int zone = Singleton<vk::Pref>::Inst()->GetTimezone() * 3600;
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    const struct {
        std::vector<unsigned char> chip; // seconds to year, BCD, 12-hour clock

        timeval system;   // before
        timeval expected; // after
        int chipYear;     // after
    } cases[] = {
        // A chip holding nonsense is reset; its time is taken without the time zone.
        { { 0x00, 0x00, 0x12, 0x01, 0x01, 0x00 }, LocalTime(2020, 6, 1, 0, 0, 0), LocalTime(2021, 1, 1, 0, 0, 0), 21 },
        { { 0x00, 0x61, 0x12, 0x01, 0x01, 0x22 }, LocalTime(2020, 6, 1, 0, 0, 0), LocalTime(2021, 1, 1, 0, 0, 0), 21 },
        { { 0x00, 0x00, 0x10, 0x05, 0x05, 0x22 }, LocalTime(2020, 6, 1, 0, 0, 0), LocalTime(2022, 5, 5, 10, 0, zone), 22 },
        // The chip behind the system clock leaves the system clock alone.
        { { 0x00, 0x00, 0x10, 0x05, 0x05, 0x22 }, LocalTime(2025, 1, 1, 0, 0, 0), LocalTime(2025, 1, 1, 0, 0, 0), 22 },
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> regs(0x14, 0);
        std::copy(c.chip.begin(), c.chip.end(), regs.begin());
        regs[7] = 0x01; // status: the oscillator runs
        chips::SetBytes("isl1208", regs);
        ASSERT_EQ(vk::SystemClock::Set(c.system), 0);
        dvr->SetSystemTimeFromRtc();
        long now = vk::SystemClock::Now().tv_sec;
        EXPECT_GE(now, c.expected.tv_sec) << int(c.chip[5]);
        EXPECT_LE(now, c.expected.tv_sec + 2) << int(c.chip[5]);
        vk::Rtc::RtcTime after {};
        ASSERT_TRUE(rtc->GetTime(after));
        EXPECT_EQ(after.year, c.chipYear);
    }
}

TEST(EngineCallbacks, MotionIsReportedOnceWithinTwentySeconds)
{
    vk::UIQueue::Inst()->Init();
    vk::CallbackMotionDetect(Front, 3);
    vk::CallbackMotionDetect(Front, 4);
    ipc_msg_t msg {};
    ASSERT_GT(vk::UIQueue::Inst()->RecvMessage(msg, 100), 0);
    EXPECT_EQ(msg.wnd, vk::WND::LIVEVIEW);
    EXPECT_EQ(msg.cmd, vk::WM::START_PARKING_RECORD);
    EXPECT_LE(vk::UIQueue::Inst()->RecvMessage(msg, 100), 0) << "the second report is dropped";
    vk::UIQueue::Inst()->Finalize();
}

TEST(EngineCallbacks, DifferTimeBorrowsASecond)
{
    timeval a { 10, 200 }, b { 7, 500 }, result {};
    vk::DifferTime(result, a, b);
    EXPECT_EQ(result.tv_sec, 2);
    EXPECT_EQ(result.tv_usec, 999700);
}

} // namespace
