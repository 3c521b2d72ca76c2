// The lane detection core on drawn road pictures: the lines it finds, the
// vanishing point it calibrates and the departures it decides. Every case
// runs in a process of its own, so the core's state starts fresh in each.

#include "RoadFrame.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/LaneCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using adastest::Holds;
using adastest::RoadFrame;
using adastest::LEFT_X;
using adastest::RIGHT_X;

struct Core {
    uint8_t gray[ADAS_SMALL_W * ADAS_SMALL_H];
    int leftRho = -1, leftTheta = -1, rightRho = -1, rightTheta = -1;

    Core() { InitSetting(57, 123); }

    const uint8_t* BelowHorizon(const RoadFrame& frame)
    {
        adastest::Reduce(frame, gray);
        ClearHoughGraph();
        return gray + _ldws.vanishY * ADAS_SMALL_W;
    }

    // Frames of the centred lane until the calibration ends; its result.
    int Calibrate(int* frames)
    {
        RoadFrame lane = RoadFrame::Lane(LEFT_X, RIGHT_X);
        int result = CALIBRATION_GOING;
        for (*frames = 0; result == CALIBRATION_GOING && *frames < 300; ++*frames)
            result = RunAutoCalibration(BelowHorizon(lane), &leftRho, &leftTheta, &rightRho, &rightTheta, 20);
        return result;
    }

    int Run(const RoadFrame& frame)
    {
        return RunLaneCore(BelowHorizon(frame), &leftRho, &leftTheta, &rightRho, &rightTheta);
    }

    // The car drifts: the markings move by step on the bottom row each frame.
    std::vector<int> Drift(int step, int frames)
    {
        std::vector<int> decisions;
        for (int i = 1; i <= frames; i++)
            decisions.push_back(Run(RoadFrame::Lane(LEFT_X + i * step, RIGHT_X + i * step)));
        return decisions;
    }
};

TEST(LaneGeometry, SineTableKeepsItsHalvesAndNoZeroDivisor)
{
    InitSetting(57, 123);
    _ldws.vanishX = 1024; // the rule's rho is then the table's sine
    const int cases[][2] = {{0, 1}, {30, 511}, {90, 1023}, {150, 512}, {45, 724}};
    for (const auto& c : cases)
        EXPECT_EQ(GetRhoFromRule(c[0]), c[1]) << c[0];
}

TEST(LaneGeometry, CandidatesMustPassNearTheVanishingPoint)
{
    InitSetting(57, 123);
    const struct {
        int rho, theta, accepted;
    } cases[] = {{GetRhoFromRule(50), 50, 1}, {GetRhoFromRule(50) + 30, 50, 1}, {GetRhoFromRule(50) - 31, 50, 0},
                 {GetRhoFromRule(9), 9, 0},   {GetRhoFromRule(10), 10, 1},      {GetRhoFromRule(170), 170, 1},
                 {GetRhoFromRule(171), 171, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(IsRightLane(c.rho, c.theta), c.accepted) << c.rho << " " << c.theta;
}

TEST(LaneGeometry, VanishingPointMovesOnlyNearTheCentreButTheHorizonFollows)
{
    InitSetting(57, 123);
    AdjustmentVP(276, 2);
    EXPECT_EQ(_ldws.vanishX, 240);
    EXPECT_EQ(_ldws.vanishY, 137);
    EXPECT_EQ(_ldws.regionHeight, 270 - 40 - 137);
    AdjustmentVP(250, -1);
    EXPECT_EQ(_ldws.vanishX, 250);
    EXPECT_EQ(_ldws.vanishY, 136);
    EXPECT_EQ(_ldws.left, 250 - 180);
    EXPECT_EQ(_ldws.right, 480 - 250 - 180);
    EXPECT_EQ(_ldws.rhoMin, 125);
    EXPECT_EQ(_ldws.rhoMax, 250 + 30);
}

TEST(LaneGeometry, HorizonStaysWhereCalibrationMayPutIt)
{
    InitSetting(57, 123);
    for (int step = 0; step < 100; step++)
        AdjustmentVP(240, -1);
    EXPECT_EQ(_ldws.vanishY, 135 - 35);
    for (int step = 0; step < 200; step++)
        AdjustmentVP(240, +1);
    EXPECT_EQ(_ldws.vanishY, 135 + 35);
    EXPECT_EQ(_ldws.regionHeight, 270 - 40 - 170);
}

TEST(LaneGeometry, SpreadCandidatesAreNoLine)
{
    InitSetting(57, 123);
    const RT_COORDINATES close[8] = {{190, 50, 90}, {191, 50, 80}, {189, 51, 70}, {190, 49, 60}};
    const RT_COORDINATES spread[8] = {{190, 50, 90}, {160, 30, 80}, {0, 0, 0}, {0, 0, 0},
                                      {190, 130, 90}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    RT_COORDINATES lanes[2];
    EvaluationLines(close, lanes);
    EXPECT_EQ(lanes[0].rho, 190);
    EXPECT_EQ(lanes[0].theta, 50);
    EXPECT_EQ(lanes[0].score, 4);
    EXPECT_EQ(lanes[1].theta, 0) << "no candidates, no line";
    EvaluationLines(spread, lanes);
    EXPECT_EQ(lanes[0].theta, 0);
    EXPECT_EQ(lanes[0].score, 180);
    EXPECT_EQ(lanes[1].theta, 130);
    EXPECT_EQ(lanes[1].score, 1);
}

TEST(LaneCore, CalibratesOnTheRoadAndFindsBothMarkings)
{
    RoadFrame lane = RoadFrame::Lane(LEFT_X, RIGHT_X);
    lane.SavePng(adastest::OutputPath("lane_frame.png"));
    Core core;
    int frames = 0;
    EXPECT_EQ(core.Calibrate(&frames), CALIBRATION_DONE);
    EXPECT_EQ(frames, 20) << "twenty agreeing frames";
    EXPECT_NEAR(_ldws.vanishX, adastest::VANISH_X / 2, 3);
    EXPECT_NEAR(_ldws.vanishY, adastest::VANISH_Y / 2, 3);

    EXPECT_EQ(core.Run(lane), 0);
    adastest::SaveLaneEdges("lane_edges.png");
    EXPECT_GE(core.leftTheta, 10);
    EXPECT_LT(core.leftTheta, 90);
    EXPECT_GE(core.rightTheta, 90);
    EXPECT_LT(core.rightTheta, 170);
    // The lines found meet where the markings were drawn to meet.
    int x = 0, y = 0;
    GetVanishPoint(RT_COORDINATES{core.leftRho, core.leftTheta, 1}, RT_COORDINATES{core.rightRho, core.rightTheta, 1},
                   &x, &y);
    EXPECT_NEAR(x, adastest::VANISH_X / 2, 3);
    EXPECT_NEAR(_ldws.vanishY + y, adastest::VANISH_Y / 2, 3);
}

TEST(LaneCore, RoadWithoutMarkingsHasNoLinesAndNoDeparture)
{
    Core core;
    int frames = 0;
    ASSERT_EQ(core.Calibrate(&frames), CALIBRATION_DONE);
    core.leftTheta = core.rightTheta = -1;
    EXPECT_EQ(core.Run(RoadFrame()), 0);
    EXPECT_EQ(core.leftTheta, -1) << "outputs only for a side found";
    EXPECT_EQ(core.rightTheta, -1);
}

TEST(LaneCore, CalibrationThatNeverSeesBothLinesFailsOnItsFrameAfterTwoHundred)
{
    Core core;
    RoadFrame onlyLeft;
    onlyLeft.Marking(LEFT_X);
    for (int frame = 1; frame <= 201; frame++)
        ASSERT_EQ(RunAutoCalibration(core.BelowHorizon(onlyLeft), &core.leftRho, &core.leftTheta, &core.rightRho,
                                     &core.rightTheta, 20),
                  CALIBRATION_GOING)
            << frame;
    EXPECT_EQ(RunAutoCalibration(core.BelowHorizon(onlyLeft), &core.leftRho, &core.leftTheta, &core.rightRho,
                                 &core.rightTheta, 20),
              CALIBRATION_FAILED);
    EXPECT_EQ(_ldws.vanishY, 135);
    EXPECT_EQ(_ldws.vanishX, 240);
}

struct DriftCase {
    int step;
    bool left;
    bool right;
};

class LaneCoreDrift : public testing::TestWithParam<DriftCase> {};

// Markings that move right are the car leaving its lane to the left.
TEST_P(LaneCoreDrift, MarkingsMovingAcrossAreADeparture)
{
    Core core;
    int frames = 0;
    ASSERT_EQ(core.Calibrate(&frames), CALIBRATION_DONE);
    std::vector<int> decisions = core.Drift(GetParam().step, 40);
    EXPECT_EQ(Holds(decisions, 1), GetParam().left);
    EXPECT_EQ(Holds(decisions, 2), GetParam().right);
}

INSTANTIATE_TEST_SUITE_P(Sides, LaneCoreDrift,
                         testing::Values(DriftCase{+6, true, false}, DriftCase{-6, false, true}, DriftCase{0, false, false}),
                         [](const testing::TestParamInfo<DriftCase>& info) {
                             return info.param.step > 0 ? "Left" : info.param.step < 0 ? "Right" : "Steady";
                         });

TEST(LaneCore, AfterAWarningTheSideStartsItsMovesAfresh)
{
    Core core;
    int frames = 0;
    ASSERT_EQ(core.Calibrate(&frames), CALIBRATION_DONE);
    std::vector<int> decisions = core.Drift(+6, 40);
    ASSERT_TRUE(Holds(decisions, 1));
    auto warned = std::find(decisions.begin(), decisions.end(), 1) - decisions.begin();
    EXPECT_NE(decisions[warned + 1], 1) << "one warning per crossing";
}

} // namespace
