// The phone app's commands against a phone on loopback, through the real
// phone-link server: replies, what reaches the message bus, the clock, the
// preferences, the record folders and the backup card, and the refusals.

#include "CardFixture.h"
#include "CardHelpers.h"
#include "ChipFiles.h"
#include "PhoneClient.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/MobileApp.h"
#include "tests/devices/BusMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using devtest::Posted;
using vk::MobileApp;
using vk::Singleton;
namespace WND = vk::WND;
namespace WM = vk::WM;

const Posted TO_LIVEVIEW { WND::ANY, WM::CLOSE, WND::LIVEVIEW, 0 };
const Posted WIFI_OFF { WND::CMAIN_DVR, WM::WIFI, 0, 0 };
const Posted APPLY_PREF { WND::CMAIN_DVR, WM::APPLY_USER_PREF, 0, 0 };

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class PhoneApp : public testing::Test {
protected:
    void SetUp() override
    {
        chips::UseBoard("/dev/i2c-2 24lc16\n/dev/i2c-2 isl1208\n");
        pref->Init();
        pref->SetSdCardRecording();
        ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->Init());
        vk::UIQueue::Inst()->Init();
        app->Init();
    }

    void TearDown() override
    {
        app->Stop();
        vk::UIQueue::Inst()->Finalize();
    }

    // The server as Wi-Fi starts it, without the access point's start-up wait.
    void Connect(uint64_t idleLimitSec = BmNet::IDLE_LIMIT_SEC)
    {
        app->SetServerTiming({ 0, idleLimitSec });
        ASSERT_TRUE(app->Start());
        ASSERT_TRUE(phone.Connect(MobileApp::PORT));
        devtest::TakePosted(0);
    }

    std::string Ask(const std::string& command, int timeoutMs = 5000)
    {
        EXPECT_TRUE(phone.Send(command));
        return phone.Reply(timeoutMs);
    }

    // What the commands so far posted: the reply to one more command shows that
    // the callbacks that run after their replies have ended.
    std::vector<Posted> PostedSoFar()
    {
        EXPECT_NE(Ask("{get_version}"), "");
        return devtest::TakePosted(0);
    }

    // Collects what is posted until `last` comes.
    std::vector<Posted> PostedUntil(const Posted& last)
    {
        std::vector<Posted> posted;
        WaitUntil([&] {
            for (const Posted& p : devtest::TakePosted(10))
                posted.push_back(p);
            return !posted.empty() && posted.back() == last;
        });
        return posted;
    }

    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    MobileApp* app = Singleton<MobileApp>::Inst();
    PhoneClient phone;
};

TEST_F(PhoneApp, PagesMoveTheDeviceScreen)
{
    Connect();
    const struct {
        const char* command;
        const char* reply;
        std::vector<Posted> posted;
        MobileApp::Page page;
    } cases[] = {
        { "{page_live}", "{page_live}", { { WND::ANY, WM::CLOSE, WND::APMODE, 0 } }, MobileApp::Page::Live },
        { "{page_sd}", "{page_sd}", { { WND::ANY, WM::CLOSE, WND::APMODE, 1 } }, MobileApp::Page::Sd },
        { "{page_config}", "{page_config}", { { WND::ANY, WM::CLOSE, WND::APMODE, 0 } }, MobileApp::Page::Config },
        { "{page_copy}", "{page_copy}", { { WND::ANY, WM::CLOSE, WND::APMODE, 1 } }, MobileApp::Page::Copy },
        { "{page_wifi}", "{page_wifi}", {}, MobileApp::Page::Wifi },
        { "{page_main}", "{page_main}", { TO_LIVEVIEW }, MobileApp::Page::Main },
        { "{page_other}", "{unknown_command,page_other}", {}, MobileApp::Page::Main },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ask(c.command), c.reply);
        EXPECT_EQ(devtest::TakePosted(0), c.posted) << c.command;
        EXPECT_EQ(app->GetPage(), c.page) << c.command;
    }
}

TEST_F(PhoneApp, SettingsAndVersionAreRead)
{
    Connect();
    std::string version = "v1.1.4-" + std::to_string(Singleton<vk::Micom>::Inst()->GetVersion());
    EXPECT_EQ(Ask("{get_version}"), "{get_version," + version + "}");
    EXPECT_EQ(Ask("{get_config}"), "{get_config," + pref->ToString() + "}");
    EXPECT_EQ(Ask("{get_wifi}"), "{get_wifi," + pref->ToString() + "}");
}

TEST_F(PhoneApp, ASettingKeepingTheParkingModeIsOnlyApplied)
{
    Connect();
    ASSERT_EQ(pref->GetVolume(), 2);
    std::string text = Replaced(pref->ToString(), "volume = 2", "volume = 1");
    EXPECT_EQ(Ask("{set_config," + text + "}"), "{set_config}");
    EXPECT_EQ(PostedSoFar(), std::vector<Posted> { APPLY_PREF });
    EXPECT_EQ(pref->GetVolume(), 1);

    phone.Close();
    EXPECT_EQ(PostedUntil(TO_LIVEVIEW), std::vector<Posted> { TO_LIVEVIEW }) << "the phone left";
}

TEST_F(PhoneApp, AChangedParkingModeFormatsTheMediumAndEndsTheConnection)
{
    Connect();
    ASSERT_TRUE(pref->IsParkingModeOn());
    std::string text = Replaced(pref->ToString(), "[Parking]\r\nmode = 1", "[Parking]\r\nmode = 0");
    EXPECT_EQ(Ask("{set_config," + text + "}"), "{set_config}");
    EXPECT_EQ(phone.Reply(), "{close}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_FALSE(pref->IsParkingModeOn());
    // The close that follows does not send the screen back to the live view.
    const std::vector<Posted> expected {
        APPLY_PREF,
        { WND::ANY, WM::CLOSE, WND::FORMATTING, WND::APMODE },
        WIFI_OFF,
    };
    EXPECT_EQ(PostedUntil(WIFI_OFF), expected);
}

// Texts the preferences refuse whole: the app is told, and nothing changes.
TEST_F(PhoneApp, RefusedSettingsAnswerTheFailureAndChangeNothing)
{
    Connect();
    const std::string before = pref->ToString();
    const std::string ssid = pref->GetSSID();
    const std::string changed = Replaced(Replaced(before, "volume = 2", "volume = 1"), "[System]\r\n",
                                         "[System]\r\nssid = DASHCAM7\r\n");
    const std::string refused[] = {
        Replaced(changed, "Version = 99", "Version = 98"),
        changed + "this line is no setting\r\n",
        "",
    };
    for (const std::string& text : refused) {
        EXPECT_EQ(Ask("{set_config," + text + "}"), "{set_config,-1}") << text;
        EXPECT_EQ(Ask("{set_wifi," + text + "}"), "{set_wifi,-1}") << text;
        EXPECT_EQ(PostedSoFar(), std::vector<Posted> {}) << text;
        EXPECT_EQ(pref->ToString(), before) << text;
        EXPECT_EQ(pref->GetSSID(), ssid) << text;
    }
    EXPECT_EQ(Ask("{set_config," + changed + "}"), "{set_config}") << "the same text, readable, is taken";
    EXPECT_EQ(pref->GetVolume(), 1);
}

// The card leaves the car: what a phone sets as the passphrase is in no log
// line, neither on the console nor in the card's log.
TEST_F(PhoneApp, APassphraseFromThePhoneReachesNoLog)
{
    const std::string oldPassphrase = pref->GetPassword();
    const std::string passphrase = "Tr4vel-Secr3t";
    fixture::MakeRingFile(fixture::LOG_FILE);
    vk::SDDebug* log = Singleton<vk::SDDebug>::Inst();
    log->Init();
    log->Start();
    testing::internal::CaptureStdout();
    Connect();
    std::string settings = Replaced(pref->ToString(), "[System]\r\n", "[System]\r\npassword = " + passphrase + "\r\n");
    EXPECT_EQ(Ask("{set_config," + settings + "}"), "{set_config}");
    EXPECT_EQ(pref->GetPassword(), passphrase);
    settings = Replaced(settings, passphrase, passphrase + "2");
    EXPECT_EQ(Ask("{set_wifi," + settings + "}"), "{set_wifi}");
    EXPECT_EQ(phone.Reply(), "{close}") << "a new network restarts the device";
    EXPECT_EQ(pref->GetPassword(), passphrase + "2");
    PostedUntil(WIFI_OFF);
    log->Finalize();
    std::string console = testing::internal::GetCapturedStdout();

    EXPECT_NE(console.find("PW prev:******** new:********"), std::string::npos) << console;
    EXPECT_NE(console.find("password = ********"), std::string::npos) << console;
    std::string card = media::ReadFile(fixture::LOG_FILE);
    auto scrambled = [](const std::string& text) {
        std::string bytes;
        for (char c : text)
            bytes += vk::SDDebug::Encode(static_cast<unsigned char>(c));
        return bytes;
    };
    EXPECT_NE(card.find(scrambled("PW prev:******** new:********")), std::string::npos) << "the card log was written";
    for (const std::string& secret : { passphrase, oldPassphrase }) {
        EXPECT_EQ(console.find(secret), std::string::npos) << secret;
        EXPECT_EQ(card.find(scrambled(secret)), std::string::npos) << secret;
    }
}

TEST_F(PhoneApp, OnlyANewNetworkRestartsTheDevice)
{
    Connect();
    std::string same = pref->ToString();
    EXPECT_EQ(Ask("{set_wifi," + same + "}"), "{set_wifi}");
    EXPECT_EQ(PostedSoFar(), std::vector<Posted> {});

    std::string renamed = Replaced(same, "[System]\r\n", "[System]\r\nssid = DASHCAM7\r\n");
    EXPECT_EQ(Ask("{set_wifi," + renamed + "}"), "{set_wifi}");
    EXPECT_EQ(phone.Reply(), "{close}");
    EXPECT_EQ(pref->GetSSID(), "DASHCAM7");
    const std::vector<Posted> expected { { WND::CMAIN_DVR, WM::REBOOT, 0, 0 }, WIFI_OFF };
    EXPECT_EQ(PostedUntil(WIFI_OFF), expected);
}

TEST_F(PhoneApp, SetTimeSetsTheClockAndTheRtcAndRefusesImpossibleTimes)
{
    Connect();
    EXPECT_EQ(Ask("{set_time,2025,7,14,9,30,5}"), "{set_time}");
    PostedSoFar();
    std::tm now = vk::LocalCalendarNow();
    EXPECT_EQ(now.tm_year, 2025);
    EXPECT_EQ(now.tm_mon, 7);
    EXPECT_EQ(now.tm_mday, 14);
    EXPECT_EQ(now.tm_hour, 9);
    EXPECT_EQ(now.tm_min, 30);
    vk::Rtc::RtcTime rtc {};
    ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->GetTime(rtc));
    EXPECT_EQ(rtc.year, 25);
    EXPECT_EQ(rtc.mon, 7);
    EXPECT_EQ(rtc.date, 14);
    EXPECT_EQ(rtc.hour, 9);
    EXPECT_EQ(rtc.dayofweek, 1) << "a Monday";

    const char* refused[] = {
        "{set_time}",
        "{set_time,1999,12,31,23,59,59}",
        "{set_time,2100,1,1,0,0,0}",
        "{set_time,2025,13,1,0,0,0}",
        "{set_time,2025,2,29,0,0,0}",
        "{set_time,2025,4,31,0,0,0}",
        "{set_time,2025,1,1,24,0,0}",
        "{set_time,2025,1,1,0,60,0}",
        "{set_time,2025,1,1,0,0,-1}",
    };
    for (const char* command : refused)
        EXPECT_EQ(Ask(command), "{set_time,-1}") << command;
    PostedSoFar();
    EXPECT_EQ(vk::LocalCalendarNow().tm_year, 2025);
    ASSERT_TRUE(Singleton<vk::Rtc>::Inst()->GetTime(rtc));
    EXPECT_EQ(rtc.mon, 7);
    EXPECT_EQ(Ask("{set_time,2024,2,29,23,59,0}"), "{set_time}") << "a leap day";
}

TEST_F(PhoneApp, AnIdlePhoneIsToldToCloseAndWiFiGoesOff)
{
    Connect(1);
    EXPECT_EQ(phone.Reply(10000), "{close}");
    EXPECT_EQ(PostedUntil(WIFI_OFF), (std::vector<Posted> { TO_LIVEVIEW, WIFI_OFF }));
}

TEST_F(PhoneApp, WiFiStartsAndStopsTheServer)
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    app->SetServerTiming({ 0, BmNet::IDLE_LIMIT_SEC });
    ipc_msg_t on { WND::CMAIN_DVR, WM::WIFI, 1, 0, nullptr };
    dvr->OnWiFi(on);
    ASSERT_TRUE(phone.Connect(MobileApp::PORT));
    EXPECT_NE(Ask("{get_version}"), "");

    ipc_msg_t off { WND::CMAIN_DVR, WM::WIFI, 0, 0, nullptr };
    dvr->OnWiFi(off);
    EXPECT_EQ(phone.Reply(), "{close}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_FALSE(phone.Connect(MobileApp::PORT, 200)) << "nothing listens";
}

// The card check at insertion logs and asks for the card's partition while
// the phone's SD commands ask whether a card is in and log the answer.
TEST_F(PhoneApp, SdCommandsDuringCardChecksAllFinish)
{
    const int ROUNDS = 100;
    Connect();
    std::atomic<bool> asking { true };
    auto checks = std::async(std::launch::async, [&asking] {
        while (asking)
            Singleton<vk::SDDebug>::Inst()->CheckFiles();
    });
    auto commands = std::async(std::launch::async, [this, &asking] {
        int answered = 0;
        for (int round = 0; round < ROUNDS; round++)
            answered += Ask("{sd_free_space}") == "{sd_free_space,-3}";
        asking = false;
        return answered;
    });
    const auto LIMIT = std::chrono::seconds(60);
    if (checks.wait_for(LIMIT) != std::future_status::ready || commands.wait_for(LIMIT) != std::future_status::ready) {
        ADD_FAILURE() << "the card checks and the phone's SD commands hold each other up";
        std::fflush(nullptr);
        std::_Exit(1); // the stuck threads can be neither joined nor left to the destructors
    }
    EXPECT_EQ(commands.get(), ROUNDS);
}

class PhoneAppOnCard : public PhoneApp {
protected:
    void SetUp() override
    {
        PhoneApp::SetUp();
        ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
    }

    static void MakeFile(const std::string& folder, const std::string& name, size_t size)
    {
        mkdir("/mnt/extsd", 0755);
        mkdir(("/mnt/extsd/" + folder).c_str(), 0755);
        std::ofstream(("/mnt/extsd/" + folder + "/" + name).c_str()) << std::string(size, 'x');
    }
};

TEST_F(PhoneAppOnCard, ListsAndDeletesRecordingsAndRefusesOtherNames)
{
    MakeFile("EVENT", "EVEN261210-100000R.MP4", 1000);
    MakeFile("EVENT", "EVEN261210-100100R.MP4", 1000);
    MakeFile("EVENT", ".EVEN90925-000040R.TMP", 1000);
    MakeFile("MANUAL", "MANU261210-100000F.MP4", 2000);
    mkdir("/mnt/extsd/NORMAL", 0755);
    mkdir("/mnt/extsd/PARKING", 0755);
    Connect();

    const struct {
        const char* command;
        const char* reply;
    } lists[] = {
        { "{event_rlist}", "{event_rlist,EVEN261210-100100R.MP4,1000,EVEN261210-100000R.MP4,1000}" },
        { "{pevent_rlist}", "{pevent_rlist,EVEN261210-100100R.MP4,1000,EVEN261210-100000R.MP4,1000}" },
        { "{event_flist}", "{event_flist}" },
        { "{manual_flist}", "{manual_flist,MANU261210-100000F.MP4,2000}" },
        { "{normal_flist}", "{normal_flist}" },
        { "{parking_rlist}", "{parking_rlist}" },
    };
    for (const auto& l : lists)
        EXPECT_EQ(Ask(l.command), l.reply);

    const char* refused[] = {
        "{delete_file,../EVENT/EVEN261210-100100R.MP4}",
        "{delete_file,EVEN261210-100100R.MP4;rm -rf x}",
        "{delete_file,EVEN261210-100100R.MP4,/mnt/extsd/EVENT/EVEN261210-100000R.MP4}",
    };
    for (const char* command : refused)
        EXPECT_EQ(Ask(command), "{delete_file,-1}") << command;
    EXPECT_EQ(Ask("{delete_file,EVEN261210-100000X.MP4}"), "{delete_file,-1}");
    EXPECT_EQ(Ask("{delete_file,EVEN261210-100200R.MP4}"), "{delete_file,-1}")
        << "a recording of the right form that is not listed is left alone";
    PostedSoFar();
    EXPECT_TRUE(Exists("/mnt/extsd/EVENT/EVEN261210-100000R.MP4"));
    EXPECT_TRUE(Exists("/mnt/extsd/EVENT/EVEN261210-100100R.MP4"));

    EXPECT_EQ(Ask("{delete_file,EVEN261210-100000R.MP4,MANU261210-100000F.MP4}"),
              "{delete_file,EVEN261210-100000R.MP4,MANU261210-100000F.MP4}");
    PostedSoFar();
    EXPECT_FALSE(Exists("/mnt/extsd/EVENT/EVEN261210-100000R.MP4"));
    EXPECT_TRUE(Exists("/mnt/extsd/EVENT/.EVEN90925-000039R.TMP"));
    EXPECT_FALSE(Exists("/mnt/extsd/MANUAL/MANU261210-100000F.MP4"));
    EXPECT_EQ(Ask("{event_rlist}"), "{event_rlist,EVEN261210-100100R.MP4,1000}");
    EXPECT_EQ(Ask("{manual_flist}"), "{manual_flist}");
}

// A card that refuses the change (here a read-only folder, as a card mounted
// read-only after an error): the phone is told, and the recording stays listed.
TEST_F(PhoneAppOnCard, ADeleteTheCardRefusesAnswersTheFailure)
{
    MakeFile("EVENT", "EVEN261210-100000R.MP4", 1000);
    MakeFile("EVENT", ".EVEN90925-000040R.TMP", 1000);
    MakeFile("MANUAL", "MANU261210-100000F.MP4", 2000);
    mkdir("/mnt/extsd/NORMAL", 0755);
    mkdir("/mnt/extsd/PARKING", 0755);
    ASSERT_EQ(system("mount --bind /mnt/extsd/EVENT /mnt/extsd/EVENT && "
                     "mount -o remount,bind,ro /mnt/extsd/EVENT"), 0);
    Connect();
    const std::string listed = "{event_rlist,EVEN261210-100000R.MP4,1000}";
    EXPECT_EQ(Ask("{event_rlist}"), listed);

    EXPECT_EQ(Ask("{delete_file,EVEN261210-100000R.MP4}"), "{delete_file,-1}");
    EXPECT_TRUE(Exists("/mnt/extsd/EVENT/EVEN261210-100000R.MP4"));
    EXPECT_EQ(Ask("{event_rlist}"), listed);

    // Of two names the one that could go goes; the answer is still the failure.
    EXPECT_EQ(Ask("{delete_file,MANU261210-100000F.MP4,EVEN261210-100000R.MP4}"), "{delete_file,-1}");
    EXPECT_FALSE(Exists("/mnt/extsd/MANUAL/MANU261210-100000F.MP4"));
    EXPECT_EQ(Ask("{manual_flist}"), "{manual_flist}");
    EXPECT_EQ(Ask("{event_rlist}"), listed);
    system("umount /mnt/extsd/EVENT");
}

TEST_F(PhoneApp, TheBackupCardHasRoomAndTakesCopiesOnlyOnceTheAppFormattedIt)
{
    // Mounting and formatting a card image takes a while here.
    const int CARD_MS = 90000;
    // The layout tool is found on PATH, as on the board.
    setenv("PATH", (media::Built("cardform") + ":" + std::getenv("PATH")).c_str(), 1);
    Connect();
    EXPECT_EQ(Ask("{sd_free_space}", CARD_MS), "{sd_free_space,-3}");
    EXPECT_EQ(Ask("{sd_format}", CARD_MS), "{sd_format,-2}");
    EXPECT_EQ(Ask("{sd_copy,NORM261210-100000F.MP4}", CARD_MS), "{sd_copy,NORM261210-100000F.MP4,-3}");

    ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
    EXPECT_EQ(Ask("{sd_free_space}", CARD_MS), "{sd_free_space,-2}") << "not formatted since the server started";
    EXPECT_EQ(Ask("{sd_copy,NORM261210-100000F.MP4}", CARD_MS), "{sd_copy,NORM261210-100000F.MP4,-4}");
    std::string formatted = Ask("{sd_format}", CARD_MS);
    ASSERT_EQ(formatted.rfind("{sd_format,", 0), 0u) << formatted;
    int room = std::atoi(formatted.c_str() + 11);
    EXPECT_GT(room, 300);
    EXPECT_EQ(Ask("{sd_free_space}", CARD_MS), "{sd_free_space," + std::to_string(room) + "}");

    const std::string copy = "{sd_copy,NORM261210-100000F.MP4}";
    EXPECT_EQ(Ask(copy, CARD_MS), "{sd_copy,NORM261210-100000F.MP4,-1}") << "no such recording";
    ASSERT_EQ(system("mkdir -p /mnt/extsd/NORMAL && head -c 3000000 /dev/urandom > "
                     "/mnt/extsd/NORMAL/NORM261210-100000F.MP4"), 0);
    EXPECT_EQ(Ask(copy, CARD_MS), "{sd_copy,NORM261210-100000F.MP4,0}");
    EXPECT_EQ(Ask(copy, CARD_MS), "{sd_copy,NORM261210-100000F.MP4,-5}") << "already on the card";
    EXPECT_EQ(Ask("{sd_copy,NORM261210-100000F.MP4;reboot}", CARD_MS), "{sd_copy,NORM261210-100000F.MP4;reboot,-1}");

    app->Stop();
    Connect();
    EXPECT_EQ(Ask("{sd_free_space}", CARD_MS), "{sd_free_space,-2}") << "a new start asks for a new format";
}

} // namespace
