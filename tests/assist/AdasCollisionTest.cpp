// Forward collision on drawn road pictures: a dark vehicle with its shade
// beneath, in the middle of the lane. Every case runs in a process of its
// own, so the detector starts afresh in each.

#include "RoadFrame.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/Fcws.h"
#include "dashrec/assist/FsAdas.h"
#include "host/soc/RoadScene.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using adastest::RoadFrame;

constexpr int LANE_X = adastest::VANISH_X;
constexpr int LANE_Y = 270;

struct Collision {
    FCWS_CONFIG config{};

    explicit Collision(int speed = 60, int hold = 68)
    {
        config.speed = speed;
        config.minSpeed = 40;
        config.hold = hold;
        config.enabled = 1;
        _shared_adas_data.brightness = 150; // day
    }

    int Call(const RoadFrame& frame, int laneX = LANE_X, int laneY = LANE_Y)
    {
        config.laneX = laneX;
        config.laneY = laneY;
        EXPECT_EQ(__FS_StickFcwsFramework(frame.Y(), frame.VU(), &config), 1);
        return config.result;
    }

    // The calls that warned while the vehicle came from row `from` to `to`.
    std::vector<int> Approach(int from, int to, int rowsPerCall = 1)
    {
        std::vector<int> warned;
        Call(RoadFrame()); // the first call only sets up
        for (int call = 0, bottom = from; bottom <= to; call++, bottom += rowsPerCall) {
            if (Call(RoadFrame::VehicleAhead(bottom)) == 1)
                warned.push_back(call);
        }
        return warned;
    }
};

TEST(Collision, FirstCallOnlySetsUpAndClearsTheLaneCentre)
{
    Collision detector;
    EXPECT_EQ(detector.Call(RoadFrame::VehicleAhead(320)), 0);
    EXPECT_EQ(detector.config.laneX, 0);
    EXPECT_EQ(detector.config.laneY, 0);
}

TEST(Collision, VehicleComingCloserIsWarnedOnceFarAndOnceNear)
{
    RoadFrame::VehicleAhead(320).SavePng(adastest::OutputPath("vehicle_ahead.png"));
    Collision detector(60, 8);
    std::vector<int> warned = detector.Approach(310, 355);
    ASSERT_EQ(warned.size(), 2u);
    EXPECT_LT(warned[0], 8) << "seen in the far part on a few calls";
    EXPECT_GE(warned[1] - warned[0], 8) << "the hold keeps the second warning back";
}

// The host's synthetic camera through the library's entry: the road is
// empty for 3.6 s, then a vehicle comes from the horizon towards the car.
TEST(CollisionScene, VehicleOfTheSyntheticCameraIsWarnedOnlyOnceItIsThere)
{
    int block[ADAS_SLOTS] = {60, 0, 3, 3, 68, 40, 1, 0, 68, 40, 1};
    RoadFrame frame;
    std::vector<double> warnedAt;
    for (int i = 0; i < 15 * 13; i++) {
        soc::SceneShot shot;
        shot.timeSec = i / 15.0;
        shot.frameNumber = static_cast<uint32_t>(i);
        shot.label = "FRONT";
        soc::RenderRoadScene(frame.y.data(), frame.vu.data(), adastest::W, adastest::H, shot);
        __fs_adas_main_process(frame.Y(), frame.VU(), block);
        if (block[ADAS_FCWS_RESULT] == 1) {
            warnedAt.push_back(shot.timeSec);
            frame.SavePng(adastest::OutputPath("scene_collision.png"));
        }
    }
    ASSERT_EQ(warnedAt.size(), 1u);
    EXPECT_GT(warnedAt[0], 3.6);
}

// By night: a dim vehicle with two red rear lights.
RoadFrame VehicleAtNight(int bottom)
{
    RoadFrame frame(20, 30);
    int left = LANE_X - 50;
    frame.Box(left, bottom - 60, left + 100, bottom, 60);
    frame.Box(left + 6, bottom - 30, left + 26, bottom - 20, 220, 240);
    frame.Box(left + 74, bottom - 30, left + 94, bottom - 20, 220, 240);
    return frame;
}

TEST(Collision, VehicleWithRearLightsIsWarnedByNight)
{
    VehicleAtNight(320).SavePng(adastest::OutputPath("vehicle_at_night.png"));
    Collision detector;
    _shared_adas_data.brightness = 40;
    detector.Call(RoadFrame(20, 30));
    int warnings = 0;
    for (int bottom = 300; bottom <= 330; bottom++)
        warnings += detector.Call(VehicleAtNight(bottom));
    EXPECT_EQ(warnings, 1);
}

struct HoldCase {
    int hold;
    int blocked; // calls after a warning
};

// A vehicle coming fast is warned again as soon as the hold has passed.
class CollisionHold : public testing::TestWithParam<HoldCase> {};

TEST_P(CollisionHold, KeepsTheNextWarningBack)
{
    Collision detector(60, GetParam().hold);
    std::vector<int> warned = detector.Approach(310, 358, 3);
    ASSERT_GE(warned.size(), 2u);
    // Soon after the block: the shade's row must have come nearer again.
    EXPECT_GT(warned[1] - warned[0], GetParam().blocked);
    EXPECT_LE(warned[1] - warned[0], GetParam().blocked + 2);
}

INSTANTIATE_TEST_SUITE_P(Calls, CollisionHold, testing::Values(HoldCase{7, 4}, HoldCase{8, 8}),
                         [](const testing::TestParamInfo<HoldCase>& info) {
                             return "Hold" + std::to_string(info.param.hold);
                         });

TEST(Collision, RoadWithoutVehicleSidesIsNoWarning)
{
    Collision detector;
    detector.Call(RoadFrame());
    for (int bottom = 310; bottom <= 355; bottom++) {
        RoadFrame shadeAcross;
        shadeAcross.Box(0, bottom, adastest::W, bottom + 6, 8); // a bridge's shade
        EXPECT_EQ(detector.Call(shadeAcross), 0) << bottom;
    }
}

struct SpeedCase {
    int speed;
    int minSpeed;
};

// Below 30 km/h nothing is analysed; below the minimum speed nothing is warned.
class CollisionSpeed : public testing::TestWithParam<SpeedCase> {};

TEST_P(CollisionSpeed, NoWarning)
{
    Collision detector(GetParam().speed);
    detector.config.minSpeed = GetParam().minSpeed;
    EXPECT_TRUE(detector.Approach(310, 355).empty());
}

INSTANTIATE_TEST_SUITE_P(Slow, CollisionSpeed, testing::Values(SpeedCase{29, 10}, SpeedCase{35, 40}),
                         [](const testing::TestParamInfo<SpeedCase>& info) {
                             return "Speed" + std::to_string(info.param.speed);
                         });

TEST(Collision, MinimumSpeedOfNineOrLessIsTen)
{
    Collision detector;
    detector.config.minSpeed = 9;
    detector.Call(RoadFrame());
    EXPECT_EQ(detector.config.minSpeed, 10);
}

TEST(Collision, LaneCentreIsKeptInTheMiddleOfThePicture)
{
    Collision detector;
    detector.Call(RoadFrame());
    const struct {
        int x, y;
        int clampedX, clampedY;
    } cases[] = {{400, 350, 430, 320}, {600, 200, 530, 260}, {480, 300, 480, 300}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        detector.Call(RoadFrame(), c.x, c.y);
        EXPECT_EQ(detector.config.laneX, c.clampedX) << c.x;
        EXPECT_EQ(detector.config.laneY, c.clampedY) << c.y;
    }
}

TEST(Collision, ShadeRowThatJumpsTwentyRowsIsDropped)
{
    Collision detector;
    detector.Call(RoadFrame());
    detector.Call(RoadFrame::VehicleAhead(320)); // the picture the finders look at
    int bottom = 0;
    EXPECT_EQ(getShadePosition(460, 306, 40, 56, 80, &bottom), FCWS_FAR);
    EXPECT_EQ(bottom, 320) << "the top of the shade";
    // Windows over the vehicle's body alone find its first row.
    EXPECT_EQ(getShadePosition(460, 301, 40, 16, 80, &bottom), FCWS_FAR);
    EXPECT_EQ(bottom, 301) << "19 rows on is the same vehicle";
    EXPECT_EQ(getShadePosition(460, 281, 40, 16, 80, &bottom), FCWS_NONE);
    EXPECT_EQ(bottom, -1) << "20 rows on is not";
}

} // namespace
