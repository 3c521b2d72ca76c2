// The normal run mode in the sandbox with the engine replaying pre-encoded
// video: its first window for each state of the card, its loop, its end on
// EXIT; and the device helpers that reach shell programs.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using vk::Singleton;

std::string Source()
{
    return std::getenv("DASHREC_SOURCE_DIR");
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ShimLog()
{
    return ReadFile(std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log");
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

void InsertCard(const std::string& layout)
{
    std::string card = Source() + "/host/card/card.sh";
    ASSERT_EQ(Shell(card + " make /tmp/sd.img 8192"), 0);
    ASSERT_EQ(Shell(card + " attach sd /tmp/sd.img"), 0);
    ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 " + layout + " > /tmp/cardform.txt"), 0);
}

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
    EXPECT_EQ(RunRecorder(), vk::WND::LIVEVIEW);
    EXPECT_TRUE(Singleton<vk::CMainDvr>::Inst()->IsSdCardOn());
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

} // namespace
