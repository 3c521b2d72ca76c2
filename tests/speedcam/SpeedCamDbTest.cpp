// The speed-camera database: records decoded from the file, RMC sentences
// parsed, cameras taken, announced, alarmed and released along a drive.

#include "DbFile.h"

#include "dashrec/assist/SpeedCamDB.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

using namespace vk::scdb;
using namespace speedcam_test;

namespace {

constexpr double kLon = 127.0;
constexpr double kLat = 37.5;

// Each test its own file: the tests run side by side.
std::string DbPath()
{
    return testing::TempDir() + "/" + testing::UnitTest::GetInstance()->current_test_info()->name() + ".idb";
}

// A camera `ahead` metres north of (kLon, kLat), its alert point there and
// the camera 300 m further on.
Camera North(int kind, int sub, int limit, double ahead, int direction = 0)
{
    return Camera{kind, sub, limit, direction, kLon, kLat + NorthDeg(ahead), kLon, kLat + NorthDeg(ahead + 300)};
}

// Drives north from (kLon, kLat) `metres` on; the fix goes through the parser.
int Fix(double metres, int kmh, int course = 0, const char* status = "A")
{
    std::string s = Rmc(kLon, kLat + NorthDeg(metres), kmh, course, status);
    double x = 0, y = 0;
    int heading = 0, speed = 0, valid = 0;
    return ParseGPRMC(s.data(), x, y, heading, speed, valid);
}

int Display(double metres, int* kind = nullptr, int* limit = nullptr)
{
    _tDISPLSY_CAMINFO display[kMaxFindedCam];
    int k = 0, sub = 0, l = 0;
    double distance = 0;
    int result = GetDisplayInfo(display, &k, &sub, &l, &distance, kLon, kLat + NorthDeg(metres));
    if (kind != nullptr)
        *kind = k;
    if (limit != nullptr)
        *limit = l;
    return result;
}

void Load(const std::vector<Camera>& cameras)
{
    WriteDb(DbPath(), cameras);
    ASSERT_TRUE(Initialize(DbPath().c_str()));
}

} // namespace

TEST(SpeedCamDb, RecordsDecodeToTheirPointsAndTheVersionIsKept)
{
    Camera c{1, 2, 80, 123, 126.9876543, 37.1234567, 126.9912345, 37.1298765, 201};
    WriteDb(DbPath(), {c}, "KR-2026.12");
    ASSERT_TRUE(Initialize(DbPath().c_str()));
    EXPECT_STREQ(GetDBVersion(), "KR-2026.12");
    FILE* file = std::fopen(DbPath().c_str(), "rb");
    _tCAMPROPERTY cam = GetCamData(file, 0);
    EXPECT_EQ(GetCamData(file, 1).index, -1) << "past the end";
    std::fclose(file);
    EXPECT_EQ(cam.index, 0);
    EXPECT_EQ(cam.kind, 1);
    EXPECT_EQ(cam.sub, 2);
    EXPECT_EQ(cam.limit, 80);
    EXPECT_EQ(cam.direction, 123);
    EXPECT_EQ(cam.secondDirection, 201);
    EXPECT_NEAR(cam.alertX, Arcsec(c.alertLon), 0.1);
    EXPECT_NEAR(cam.alertY, Arcsec(c.alertLat), 0.1);
    EXPECT_NEAR(cam.cameraX, Arcsec(c.cameraLon), 0.1);
    EXPECT_NEAR(cam.cameraY, Arcsec(c.cameraLat), 0.1);
    EXPECT_FALSE(cam.noReleasePrompt);
    Finalize();

    EXPECT_FALSE(Initialize("/nonexistent/sc_cam.idb"));
    Finalize();
}

TEST(SpeedCamDb, AFileThatDoesNotHoldItsCountedRecordsIsRefused)
{
    // 3 records: 20 + 66 bytes.
    struct Case {
        const char* what;
        uint32_t count;
        off_t size;
        bool loads;
    } cases[] = {
        {"whole", 3, 86, true},
        {"truncated after its header", 3, 20, false},
        {"one record short", 3, 64, false},
        {"cut inside a record", 3, 75, false},
        {"a byte beyond its records", 3, 87, false},
        {"a count no file holds", 0xFFFFFFFFu, 86, false},
        {"shorter than its header", 3, 10, false},
        {"empty", 0, 0, false},
        {"no records", 0, 20, true},
    };
    for (const Case& c : cases) {
        WriteDb(DbPath(), {North(1, 0, 60, 30), North(1, 0, 60, 300), North(1, 0, 60, 600)});
        std::string count;
        Put32(count, c.count);
        FILE* file = std::fopen(DbPath().c_str(), "r+b");
        std::fwrite(count.data(), 1, count.size(), file);
        std::fclose(file);
        ASSERT_EQ(truncate(DbPath().c_str(), c.size), 0);
        testing::internal::CaptureStdout();
        bool loaded = Initialize(DbPath().c_str());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(loaded, c.loads) << c.what;
        if (!c.loads && c.size >= 16) {
            EXPECT_NE(out.find("[SpeedCamDB]" + DbPath() + " holds " + std::to_string(c.size) + " bytes"),
                      std::string::npos)
                << c.what << ": " << out;
        }
        if (c.loads) {
            EXPECT_EQ(Fix(0, 50), 1) << c.what;
            EXPECT_EQ(GetFindedCamCount(), c.count > 0 ? 1 : 0) << c.what;
        }
        Finalize();
    }
}

TEST(SpeedCamDb, SentencesAreParsedOrRefusedByTheirFields)
{
    Load({});
    struct Case {
        std::string sentence;
        int result;
        int speed;
    } cases[] = {
        {Rmc(kLon, kLat, 50, 90), 1, 50},
        {"$GPRMC,120000,A,3730.0000,N,12700.0000,E,0.0,0,101226,,,A*00", 1, 30},
        {Rmc(kLon, kLat, 8, 90), 0, 8},
        {"$GNRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 1, 55},
        {"$GLRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 1, 55},
        {"$GARMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 1, 55},
        {"$BDRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 1, 55},
        {"$GPGGA,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 0, -1},
        {"$GNRMCX,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 0, -1},
        {"$PXRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 0, -1},
        {"$GPRMC,120000,AA,3730.0000,N,12700.0000,E,30.0,0,101226,,,A*00", 0, -1},
        {"$GPRMC,120000,A,3730.0000,NN,12700.0000,E,30.0,0,101226,,,A*00", 0, -1},
        {"$GPRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0,10122,,,A*00", 0, -1},
        {"$GPRMC,120000,A,3730.0000,N,12700.0000,E,30.0,0", 0, -1},
    };
    for (Case& c : cases) {
        double x = 0, y = 0;
        int heading = 0, speed = -1, valid = 0;
        EXPECT_EQ(ParseGPRMC(c.sentence.data(), x, y, heading, speed, valid), c.result) << c.sentence;
        if (c.speed >= 0) {
            EXPECT_EQ(speed, c.speed) << c.sentence;
        }
    }

    std::string south = "$GPRMC,120000,V,3330.0000,S,07030.0000,W,30.0,271,101226,,,A*00";
    double x = 0, y = 0;
    int heading = 0, speed = 0, valid = 1;
    EXPECT_EQ(ParseGPRMC(south.data(), x, y, heading, speed, valid), 1);
    EXPECT_EQ(valid, 0);
    EXPECT_DOUBLE_EQ(y, -33.5);
    EXPECT_DOUBLE_EQ(x, -70.5);
    EXPECT_EQ(heading, 271);
    Finalize();
}

TEST(SpeedCamDb, ACameraIsTakenWithinFiftyMetresAndFortyDegrees)
{
    struct Case {
        double ahead;
        int direction;
        int heading;
        bool taken;
    } cases[] = {
        // The file keeps points to 1/36000 degree (some 3 m): 53 m is beyond 50.
        {49, 39, 0, true}, {49, 42, 2, false}, {49, 321, 0, true}, {53, 0, 0, false}, {49, 0, 357, true},
    };
    for (const Case& c : cases) {
        Load({North(1, 0, 60, c.ahead, c.direction)});
        EXPECT_EQ(Fix(0, 50, c.heading), 1);
        EXPECT_EQ(GetFindedCamCount(), c.taken ? 1 : 0)
            << c.ahead << " m, direction " << c.direction << ", heading " << c.heading;
        Finalize();
    }
}

TEST(SpeedCamDb, ARestrictingCameraIsAnnouncedThenCountedDownAndReleasedOnPassing)
{
    Load({North(1, 0, 60, 30)});
    ASSERT_EQ(Fix(0, 50), 1);
    int kind = 0, limit = 0;
    EXPECT_EQ(Display(0, &kind, &limit), RESULT_CAMERA_SEARCH_DIST);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(limit, 60);
    ASSERT_EQ(Fix(100, 50), 1);
    EXPECT_EQ(Display(100), RESULT_DIST);
    int sub = 0;
    EXPECT_FALSE(GetSoundReleaseInfo(&kind, &sub));
    // 29 m before the camera point (330 m north): released with a prompt.
    ASSERT_EQ(Fix(301, 50), 1);
    EXPECT_TRUE(GetSoundReleaseInfo(&kind, &sub));
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(GetFindedCamCount(), 0);
    EXPECT_EQ(Display(301), RESULT_NONE);
    Finalize();
}

TEST(SpeedCamDb, OverSpeedAlarmsOnTheFirstFourthAndSeventhFix)
{
    Load({North(1, 0, 60, 30)});
    std::vector<int> results;
    for (int i = 0; i < 7; i++) {
        ASSERT_EQ(Fix(i, 80), 1);
        results.push_back(Display(i));
    }
    EXPECT_EQ(results, (std::vector<int>{RESULT_CAMERA_SEARCH_ALRAM, 0, 0, RESULT_ALARM, 0, 0, RESULT_ALARM}));
    Finalize();
}

TEST(SpeedCamDb, AZoneIsShownOnceAndLeftWithoutPromptBeyondThreeHundredMetres)
{
    Camera zone = North(3, 0, 0, 30);
    zone.cameraLat = kLat + NorthDeg(80);
    Load({zone});
    ASSERT_EQ(Fix(0, 50), 1);
    EXPECT_EQ(Display(0), RESULT_CAMERA_SEARCH_SHOW);
    SetShowAlaram(true);
    ASSERT_EQ(Fix(10, 50), 1);
    EXPECT_EQ(Display(10), RESULT_NONE) << "shown once";
    // Past its camera point a point camera would go at once; a zone stays
    // until 300 m beyond it.
    ASSERT_EQ(Fix(300, 50), 1);
    EXPECT_EQ(GetFindedCamCount(), 1);
    ASSERT_EQ(Fix(400, 50), 1);
    EXPECT_EQ(GetFindedCamCount(), 0);
    int kind = 0, sub = 0;
    EXPECT_FALSE(GetSoundReleaseInfo(&kind, &sub)) << "a zone ends silently";
    Finalize();
}

TEST(SpeedCamDb, APassedSectionStartStaysRememberedForTheOverSpeedWarning)
{
    Load({North(1, 12, 60, 30)});
    ASSERT_EQ(Fix(0, 50), 1);
    EXPECT_EQ(Display(0), RESULT_CAMERA_SEARCH_DIST);
    ASSERT_EQ(Fix(301, 50), 1);
    int kind = 0, sub = 0;
    ASSERT_TRUE(GetSoundReleaseInfo(&kind, &sub));
    EXPECT_TRUE(IsCheckAlaram());
    EXPECT_EQ(LastAlramSpeed(), 60);
    std::vector<int> results;
    for (int i = 0; i < 4; i++) {
        ASSERT_EQ(Fix(400 + i, 70), 1);
        results.push_back(Display(400 + i));
    }
    EXPECT_EQ(results, (std::vector<int>{RESULT_OVER_LAST_LIMIT, 0, 0, RESULT_OVER_LAST_LIMIT}));
    Finalize();
}

TEST(SpeedCamDb, AnInvalidFixSearchesTheWholeFileAgainOnTheNextValidOne)
{
    // Far more records than the window holds, spread 1 km apart northwards.
    std::vector<Camera> cameras;
    for (int i = 0; i < 600; i++)
        cameras.push_back(North(2, 0, 0, 1000.0 * i + 30));
    Load(cameras);
    ASSERT_EQ(Fix(0, 50), 1);
    EXPECT_EQ(GetFindedCamCount(), 1);
    EXPECT_EQ(Fix(450000, 50, 0, "V"), 1);
    ASSERT_EQ(Fix(450000, 50), 1);
    EXPECT_EQ(GetFindedCamCount(), 2) << "the camera 450 km on is found at once";
    Finalize();
}

TEST(SpeedCamDb, AnEastWestStepShrinksWithTheCosineOfItsLatitude)
{
    struct Case {
        double lon1, lat1, lon2, lat2;
        double metres;
    } cases[] = {
        {10.0, 0.0, 10.01, 0.0, 1113.2}, // 0.01 degree on the equator
        {10.0, 60.0, 10.01, 60.0, 556.6}, // half of it at 60 degrees
        {127.0, 37.5, 127.01, 37.5, 883.2},
        {127.0, -37.5, 127.01, -37.5, 883.2},
        {127.0, 37.5, 127.0, 37.51, 1113.2}, // north-south: no shrinking
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(CalRealDist_Pt2PtDeg(c.lon1, c.lat1, c.lon2, c.lat2), c.metres, 0.1)
            << c.lon1 << "/" << c.lat1 << " to " << c.lon2 << "/" << c.lat2;
        EXPECT_NEAR(CalRealDist(Arcsec(c.lon1), Arcsec(c.lat1), Arcsec(c.lon2), Arcsec(c.lat2)), c.metres, 0.1);
    }

    // 45 m east of a car heading east: in reach (a degree of longitude taken
    // at the equator's length would put it 57 m away).
    Camera east{1, 0, 60, 90, kLon + EastDeg(45, kLat), kLat, kLon + EastDeg(345, kLat), kLat};
    Load({east});
    std::string s = Rmc(kLon, kLat, 50, 90);
    double x = 0, y = 0;
    int heading = 0, speed = 0, valid = 0;
    ASSERT_EQ(ParseGPRMC(s.data(), x, y, heading, speed, valid), 1);
    EXPECT_EQ(GetFindedCamCount(), 1);
    Finalize();
}
