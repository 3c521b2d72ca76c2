// The lane-departure detector as the library's entry runs it: sensitivity,
// calibration, hold-off and speed, on drawn road pictures and on the host's
// synthetic camera. Every case runs in a process of its own, so the
// detector starts uncalibrated in each.

#include "RoadFrame.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/FsAdas.h"
#include "dashrec/assist/LaneCore.h"
#include "dashrec/assist/Ldws.h"
#include "host/soc/RoadScene.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using adastest::Holds;
using adastest::RoadFrame;
using adastest::LEFT_X;
using adastest::RIGHT_X;

struct Detector {
    STRUCT_LDWS_CONFIG config{};
    uint8_t gray[ADAS_SMALL_W * ADAS_SMALL_H];

    Detector(int levelLeft = 3, int levelRight = 3, int holdOff = 68)
    {
        config.enabled = 1;
        config.levelLeft = levelLeft;
        config.levelRight = levelRight;
        config.holdOff = holdOff;
        config.speed = 80;
        config.minSpeed = 40;
    }

    int Frame(const RoadFrame& frame)
    {
        adastest::Reduce(frame, gray);
        __FS_LdwsFrameWork(gray, 0, 0, &config);
        return config.status;
    }

    // Calibrates on the centred lane; returns the frames it took.
    int Calibrate()
    {
        RoadFrame lane = RoadFrame::Lane(LEFT_X, RIGHT_X);
        for (int frame = 1; frame <= 200; frame++) {
            int status = Frame(lane);
            if (status == LDWS_CALIBRATED)
                return frame;
            if (status != LDWS_CALIBRATING)
                return -status;
        }
        return -1;
    }

    // Drifts to the left until warned, then keeps that place; returns the
    // frames held off after the warning.
    int HeldOffAfterWarning()
    {
        int shift = 0;
        while (Frame(RoadFrame::Lane(LEFT_X + shift, RIGHT_X + shift)) != LDWS_LEFT) {
            shift += 6;
            if (shift > 400)
                return -1;
        }
        RoadFrame stay = RoadFrame::Lane(LEFT_X + shift, RIGHT_X + shift);
        int held = 0;
        while (Frame(stay) == LDWS_QUIET && held < 1000)
            held++;
        return held;
    }

};

TEST(LaneDeparture, SensitivityLevelsTurnTheWarningAngles)
{
    const struct {
        int left, right;
        int angleLeft, angleRight;
    } cases[] = {{3, 3, 57, 123}, {1, 1, 63, 117}, {5, 5, 51, 129}};
    for (const auto& c : cases) {
        Detector detector(c.left, c.right);
        detector.Frame(RoadFrame());
        EXPECT_EQ(_ldws.angleLeft, c.angleLeft) << c.left;
        EXPECT_EQ(_ldws.angleRight, c.angleRight) << c.right;
    }
}

struct HoldCase {
    int configured;
    int used;
};

class LaneHoldOff : public testing::TestWithParam<HoldCase> {};

TEST_P(LaneHoldOff, IsKeptWithinElevenAndOneHundredFifty)
{
    Detector detector(3, 3, GetParam().configured);
    ASSERT_GT(detector.Calibrate(), 0);
    EXPECT_EQ(detector.HeldOffAfterWarning(), GetParam().used);
}

INSTANTIATE_TEST_SUITE_P(Frames, LaneHoldOff, testing::Values(HoldCase{5, 11}, HoldCase{68, 68}, HoldCase{200, 150}),
                         [](const testing::TestParamInfo<HoldCase>& info) {
                             return "Configured" + std::to_string(info.param.configured);
                         });

// The host's synthetic camera: a weaving car on a road with dashed lanes
// and a vehicle ahead now and then.
TEST(LaneScene, CalibratesOnTheSyntheticCameraAtItsHorizon)
{
    Detector detector;
    RoadFrame frame;
    int calibratedAt = -1;
    for (int i = 0; i < 300; i++) {
        soc::SceneShot shot;
        shot.timeSec = i / 15.0;
        shot.frameNumber = static_cast<uint32_t>(i);
        shot.label = "FRONT";
        soc::RenderRoadScene(frame.y.data(), frame.vu.data(), adastest::W, adastest::H, shot);
        if (detector.Frame(frame) == LDWS_CALIBRATED)
            calibratedAt = i;
    }
    frame.SavePng(adastest::OutputPath("scene_frame.png"));
    adastest::SaveLaneEdges("scene_edges.png");
    EXPECT_GE(calibratedAt, 19);
    EXPECT_LT(calibratedAt, 60);
    EXPECT_NEAR(_ldws.vanishY, 113, 3) << "the scene's horizon is 42 % down";
    EXPECT_NEAR(_ldws.vanishX, 240, 6);
}

TEST(LaneDeparture, CalibrationIsReportedUntilItsLastFrame)
{
    Detector detector;
    RoadFrame lane = RoadFrame::Lane(LEFT_X, RIGHT_X);
    for (int frame = 1; frame < 20; frame++)
        ASSERT_EQ(detector.Frame(lane), LDWS_CALIBRATING) << frame;
    EXPECT_EQ(detector.Frame(lane), LDWS_CALIBRATED);
    EXPECT_EQ(detector.Frame(lane), LDWS_NONE);
    EXPECT_EQ(_ldws.tolerance, 25);
}

TEST(LaneDeparture, SlowerThanTheMinimumSpeedIsReportedAsSuch)
{
    Detector detector;
    detector.config.speed = 30;
    detector.Frame(RoadFrame::Lane(LEFT_X, RIGHT_X));
    EXPECT_EQ(detector.config.status, LDWS_TOO_SLOW);
}

TEST(LaneCalibration, NoMarkingsFailOnTheFrameAfterTwoHundred)
{
    Detector detector;
    RoadFrame empty;
    for (int frame = 1; frame <= 201; frame++)
        ASSERT_EQ(detector.Frame(empty), LDWS_CALIBRATING) << frame;
    EXPECT_EQ(detector.Frame(empty), LDWS_CALIBRATION_FAILED);
    EXPECT_EQ(detector.Frame(empty), LDWS_CALIBRATING) << "and starts again";
}

TEST(LaneCalibration, ResetRequestStartsAgain)
{
    Detector detector;
    ASSERT_GT(detector.Calibrate(), 0);
    detector.config.resetRequest = 1;
    EXPECT_EQ(detector.Frame(RoadFrame::Lane(LEFT_X, RIGHT_X)), LDWS_CALIBRATING);
    EXPECT_EQ(detector.config.resetRequest, 0);
}

// Through the library's entry, as the recorder calls it.
struct Entry {
    int block[ADAS_SLOTS] = {};
    explicit Entry(int speed, bool on = true)
    {
        block[ADAS_SPEED] = speed;
        block[ADAS_LDWS_LEVEL_LEFT] = block[ADAS_LDWS_LEVEL_RIGHT] = 3;
        block[ADAS_LDWS_HOLD_OFF] = block[ADAS_FCWS_HOLD] = 68;
        block[ADAS_LDWS_MIN_SPEED] = block[ADAS_FCWS_MIN_SPEED] = 40;
        block[ADAS_LDWS_ON] = on;
    }
    // The results of a calibration and a drift to the left.
    std::vector<int> Drive()
    {
        std::vector<int> results;
        RoadFrame lane = RoadFrame::Lane(LEFT_X, RIGHT_X);
        for (int i = 0; i < 30; i++)
            results.push_back(Run(lane));
        for (int i = 1; i <= 40; i++)
            results.push_back(Run(RoadFrame::Lane(LEFT_X + 6 * i, RIGHT_X + 6 * i)));
        return results;
    }
    int Run(const RoadFrame& frame)
    {
        __fs_adas_main_process(frame.Y(), frame.VU(), block);
        return block[ADAS_LDWS_RESULT];
    }
};

struct EntryCase {
    int speed;
    bool on;
    bool warned;
};

// One process a case: the detector's calibration is the process's own.
class LaneEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(LaneEntry, DepartureReachesTheBlockAboveTheMinimumSpeedOnly)
{
    const EntryCase& c = GetParam();
    std::vector<int> results = Entry(c.speed, c.on).Drive();
    EXPECT_EQ(Holds(results, LDWS_LEFT), c.warned);
    EXPECT_FALSE(Holds(results, LDWS_RIGHT));
}

INSTANTIATE_TEST_SUITE_P(SpeedAndSwitch, LaneEntry,
                         testing::Values(EntryCase{80, true, true}, EntryCase{40, true, false},
                                         EntryCase{80, false, false}, EntryCase{20, true, false}),
                         [](const testing::TestParamInfo<EntryCase>& info) {
                             return "Speed" + std::to_string(info.param.speed) + (info.param.on ? "On" : "Off");
                         });

} // namespace
