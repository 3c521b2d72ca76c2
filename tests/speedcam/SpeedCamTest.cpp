// Speed-camera warnings as the driver hears and sees them: a drive past a
// camera through the GPS sentence entry and along the board simulator's route
// through the GPS receiver, the prompts the worker plays (as the sound
// player's stand-in logs them) and the messages to the live view.

#include "DbFile.h"

#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/devices/GPS.h"
#include "host/board/Board.h"
#include "host/board/Scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vk;
using namespace speedcam_test;

namespace {

constexpr double kLon = 127.0;
constexpr double kLat = 37.5;
const char* const kDb = "/tmp/sc_cam.idb";

std::string ShimLog()
{
    return std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log";
}

// The clips played so far, by name.
std::vector<std::string> Played()
{
    std::vector<std::string> played;
    std::ifstream log(ShimLog());
    const std::string prefix = "aplay /app/kvo/rsc/sound/";
    for (std::string line; std::getline(log, line);) {
        if (line.rfind(prefix, 0) == 0)
            played.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 4));
    }
    return played;
}

bool WaitForPlayed(size_t count, int timeoutMs = 10000)
{
    for (int waited = 0; waited < timeoutMs && Played().size() < count; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Played().size() >= count;
}

struct Posted {
    int cmd;
    int param1;
    int param2;
    bool operator==(const Posted& o) const { return cmd == o.cmd && param1 == o.param1 && param2 == o.param2; }
};

std::ostream& operator<<(std::ostream& out, const Posted& p)
{
    return out << "{" << p.cmd << ", " << p.param1 << ", " << p.param2 << "}";
}

// What reached the live view so far.
std::vector<Posted> ToLiveview()
{
    std::vector<Posted> posted;
    ipc_msg_t msg;
    while (UIQueue::Inst()->RecvMessage(msg, 50) > 0) {
        if (msg.wnd == WND::LIVEVIEW)
            posted.push_back({msg.cmd, msg.param1, msg.param2});
    }
    return posted;
}

void Drive(double metres, int kmh, const char* talker = "GP")
{
    std::string s = Rmc(kLon, kLat + NorthDeg(metres), kmh, 0, "A", "120000", talker);
    Singleton<SpeedCam>::Inst()->ParseRMC(s.c_str(), static_cast<int>(s.size()));
}

// The clips must be where the board keeps them for the player to find them.
void PlaceClips()
{
    std::string clips = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/rsc/sound";
    mkdir("/app/kvo", 0755);
    mkdir("/app/kvo/rsc", 0755);
    ASSERT_EQ(symlink(clips.c_str(), "/app/kvo/rsc/sound"), 0);
}

class SpeedCamAlerts : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PlaceClips();
        UIQueue::Inst()->Init();
        WriteDb(kDb, {Camera{1, 0, 60, 0, kLon, kLat + NorthDeg(30), kLon, kLat + NorthDeg(330)}});
        Singleton<SpeedCam>::Inst()->LoadData("/tmp/missing.idb");
        Singleton<SpeedCam>::Inst()->LoadData(kDb);
        Singleton<SpeedCam>::Inst()->Init();
    }
    static void TearDownTestSuite()
    {
        Singleton<SpeedCam>::Inst()->Finalize();
        UIQueue::Inst()->Finalize();
    }

    void SetUp() override
    {
        Singleton<Pref>::Inst()->SetSafetyDrivingOn();
        std::remove(ShimLog().c_str());
        ToLiveview();
    }
};

} // namespace

TEST_F(SpeedCamAlerts, AFixedCameraIsAnnouncedAlarmedAndReleased)
{
    EXPECT_STREQ(Singleton<SpeedCam>::Inst()->Version(), "2026.12");
    Drive(0, 70);
    ASSERT_TRUE(WaitForPlayed(4));
    EXPECT_EQ(Played(), (std::vector<std::string>{"R_dingdong", "R_01_SP_01_8", "R_02_060_06", "R_alarm"}));
    EXPECT_EQ(ToLiveview(), (std::vector<Posted>{{WM::SHOW_LIMIT_SPEED, 70, 60}}));

    // The next two fixes over the limit stay quiet; the fourth alarms again.
    for (int metres : {20, 40})
        Drive(metres, 70);
    Drive(60, 70);
    ASSERT_TRUE(WaitForPlayed(5));
    EXPECT_EQ(Played().back(), "R_alarm");

    std::remove(ShimLog().c_str());
    ToLiveview();
    Drive(301, 50); // 29 m before the camera
    ASSERT_TRUE(WaitForPlayed(1));
    EXPECT_EQ(Played(), (std::vector<std::string>{"R_release"}));
    std::vector<Posted> posted = ToLiveview();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.front(), (Posted{WM::HIDE_LIMIT_SPEED, 0, 0})) << "hidden before the end prompt";
}

TEST_F(SpeedCamAlerts, ANewFixedCameraSaysItsLimitWhicheverSystemsTheReceiverNamesItsFixAfter)
{
    for (const char* talker : {"GP", "GN"}) {
        Drive(0, 50, talker);
        ASSERT_TRUE(WaitForPlayed(3)) << talker;
        EXPECT_EQ(Played(), (std::vector<std::string>{"R_dingdong", "R_01_SP_01_8", "R_02_060_06"})) << talker;
        EXPECT_EQ(ToLiveview(), (std::vector<Posted>{{WM::SHOW_LIMIT_SPEED, 50, 60}})) << talker;
        Drive(301, 50, talker);
        ASSERT_TRUE(WaitForPlayed(4)) << talker;
        EXPECT_EQ(Played().back(), "R_release") << talker;
        // Back before the camera for the next receiver.
        std::remove(ShimLog().c_str());
        ToLiveview();
    }
}

TEST_F(SpeedCamAlerts, PromptsPlayOnlyWithSafetyDrivingOnAndABadCodeSilencesNothingAfterIt)
{
    SpeedCam* cam = Singleton<SpeedCam>::Inst();
    Singleton<Pref>::Inst()->SetSafetyDrivingOff();
    cam->SendMessage(SpeedCam::R_dingdong);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Played().empty());

    Singleton<Pref>::Inst()->SetSafetyDrivingOn();
    testing::internal::CaptureStdout();
    cam->SendMessage(0);
    cam->SendMessage(SpeedCam::R_02_060_06);
    bool played = WaitForPlayed(1);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(played);
    EXPECT_EQ(Played(), (std::vector<std::string>{"R_02_060_06"}));
    EXPECT_NE(out.find("[SpeedCam]cmd error:0\n"), std::string::npos) << out;
}

TEST_F(SpeedCamAlerts, CameraPromptsFollowTheirTables)
{
    struct Case {
        int kind;
        int sub;
        bool found;
        std::vector<std::string> prompts;
        const char* line;
    } cases[] = {
        {1, 2, true, {"R_dingdong", "R_01_SP_05_8"}, "code:1 sub:2"},
        {50, 0, true, {"R_dingdong", "R_01_SP_18_8"}, "code:50 sub:0"},
        {2, 5, true, {}, "[SpeedCam]_PROPERTY_CAM_BUS: subcode not found - code:2 sub:5\n"},
        {77, 0, true, {}, "[SpeedCam]kind code not found - code:77 sub:0\n"},
        {99, 3, true, {"R_release"}, "[SpeedCam]_PROPERTY_SECTION_RELEASE - code:99 sub:3\n"},
        {1, 12, false, {"R_dingdong", "R_01_SP_02_8"}, "[SpeedCam]딩동구간과속 단속 구간이 시작되었습니다.\n"},
        {3, 0, false, {"R_release"}, "[SpeedCam]딩동댕\n"},
        {3, 4, false, {}, "[SpeedCam]디폴트\n"},
        {1, 7, false, {}, "[SpeedCam]_PROPERTY_CAM_FIXED 해당사항 없음\n"},
        {46, 0, false, {}, "[SpeedCam]해당 사항 없음\n"},
    };
    SpeedCam* cam = Singleton<SpeedCam>::Inst();
    for (const Case& c : cases) {
        std::remove(ShimLog().c_str());
        testing::internal::CaptureStdout();
        if (c.found)
            cam->CameraAlram(c.kind, c.sub);
        else
            cam->CameraEndAlram(c.kind, c.sub);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.line), std::string::npos) << out;
        if (c.prompts.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        } else {
            EXPECT_TRUE(WaitForPlayed(c.prompts.size()));
        }
        EXPECT_EQ(Played(), c.prompts) << c.kind << "/" << c.sub;
    }
    ToLiveview();
}

// The board simulator's GPS module names its fix "$GNRMC" (a module of several
// satellite systems) and drives north at 90 km/h from 45 m before the alert
// point of a camera limited to 100 km/h, past the camera 100 m further on
// (once past, the car is beyond the alert point's reach: no second warning).
TEST(SpeedCamOnTheRoad, AModuleOfSeveralSystemsIsWarnedOfTheCameraAhead)
{
    PlaceClips();
    UIQueue::Inst()->Init();
    ASSERT_TRUE(WriteDb(kDb, {Camera{1, 0, 100, 0, kLon, kLat + NorthDeg(45), kLon, kLat + NorthDeg(145)}}, "ROAD"));
    SpeedCam* cam = Singleton<SpeedCam>::Inst();
    ASSERT_TRUE(cam->LoadData(kDb));
    cam->Init();
    board::Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("0s gps talker GN\n0s gps at 37.5N 127.0E\n0s gps drive 90km/h 0deg\n", error)) << error;
    board::Board sim(scenario);
    ASSERT_TRUE(sim.Start());
    GPS* gps = Singleton<GPS>::Inst();
    gps->Init(false);
    gps->Start();
    // The bus holds few messages: taken as they come, until the camera is passed.
    std::vector<Posted> posted;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (Played().size() < 4 && std::chrono::steady_clock::now() < end) {
        std::vector<Posted> more = ToLiveview();
        posted.insert(posted.end(), more.begin(), more.end());
    }
    gps->Finalize();
    sim.Stop();
    cam->Finalize();

    EXPECT_EQ(Played(), (std::vector<std::string>{"R_dingdong", "R_01_SP_01_8", "R_02_100_10", "R_release"}));
    std::vector<Posted> last = ToLiveview();
    posted.insert(posted.end(), last.begin(), last.end());
    EXPECT_NE(std::find(posted.begin(), posted.end(), Posted{WM::SHOW_LIMIT_SPEED, 90, 100}), posted.end())
        << testing::PrintToString(posted);
    EXPECT_NE(std::find(posted.begin(), posted.end(), Posted{WM::HIDE_LIMIT_SPEED, 0, 0}), posted.end())
        << testing::PrintToString(posted);
    UIQueue::Inst()->Finalize();
}

std::string Contents(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A database of `count` cameras with the version text given.
std::string MakeDb(const char* path, int count, const char* version)
{
    std::vector<Camera> cameras;
    for (int i = 0; i < count; i++)
        cameras.push_back(Camera{1, 0, 60, 0, kLon, kLat + NorthDeg(100.0 * i), kLon, kLat + NorthDeg(100.0 * i + 50)});
    WriteDb(path, cameras, version);
    return Contents(path);
}

class SpeedCamPlacement : public testing::Test {
protected:
    void SetUp() override
    {
        mkdir("/tmp/sd", 0755);
        mkdir("/data/app", 0755);
    }
    static constexpr const char* kCard = "/tmp/sd/sc_cam.idb";
    static constexpr const char* kEmmc = "/data/app/sc_cam.idb";
    SpeedCam* _cam = Singleton<SpeedCam>::Inst();
};

TEST_F(SpeedCamPlacement, TheCardsDatabaseReplacesTheEmmcCopyWholeAndGoesFromTheCard)
{
    EXPECT_FALSE(_cam->CheckDataInSDCard());
    MakeDb(kEmmc, 3, "OLD");
    std::string card = MakeDb(kCard, 2000, "NEW");
    ASSERT_TRUE(_cam->CheckDataInSDCard());
    _cam->MoveDataToEmmc(kEmmc);
    EXPECT_EQ(Contents(kEmmc), card);
    EXPECT_NE(access(kCard, F_OK), 0) << "the card's copy is removed";
    EXPECT_NE(access("/data/app/sc_cam.idb.new", F_OK), 0) << "nothing left beside it";
}

TEST_F(SpeedCamPlacement, ACopyCutOffHalfwayLeavesBothFilesAsTheyWere)
{
    std::string emmc = MakeDb(kEmmc, 3, "OLD");
    std::string card = MakeDb(kCard, 2000, "NEW");
    // The eMMC fills up halfway through the card's 44 KB: writes beyond fail.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit unlimited {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    struct rlimit half = unlimited;
    half.rlim_cur = card.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &half), 0);
    _cam->MoveDataToEmmc(kEmmc);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
    EXPECT_EQ(Contents(kEmmc), emmc) << "the old copy stays in place";
    EXPECT_EQ(Contents(kCard), card) << "and so does the card's";
    EXPECT_NE(access("/data/app/sc_cam.idb.new", F_OK), 0) << "the partial copy is gone";

    // A destination that cannot be made at all.
    _cam->MoveDataToEmmc("/nonexistent/sc_cam.idb");
    EXPECT_EQ(Contents(kCard), card);
}
