// The cameras' scene as the board simulator sets it: the road of a standing
// car is still to the motion detector, someone walking past is motion.

#include "bmworks/BmModLib.h"
#include "host/board/Outside.h"
#include "host/soc/RoadScene.h"
#include "host/soc/SceneControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The picture the engine gives the detector, and its pace: every second frame at 30 per second.
constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr auto kStep = std::chrono::microseconds(1000000 / 15);

class Detector {
public:
    explicit Detector(int level) : _mask(kWidth * kHeight, static_cast<char>(255))
    {
        _api = allocMOTDET(kWidth, kHeight, 16, 16, 5);
        _api->vpInit(_api, 6);
        _api->vpSetROIMask(_api, _mask.data(), kWidth, kHeight);
        _api->vpSetSensitivityLevel(_api, level);
    }
    ~Detector() { freeMOTDET(_api); }

    // How many of the steps over `seconds` from `from` see motion.
    int MotionSteps(Clock::time_point from, double seconds)
    {
        std::vector<uint8_t> picture(kWidth * kHeight * 3 / 2);
        int motion = 0;
        uint32_t frame = 0;
        for (Clock::time_point when = from; when < from + std::chrono::duration<double>(seconds); when += kStep) {
            soc::SceneShot shot;
            shot.frameNumber = frame += 2;
            shot.label = "FRONT";
            soc::ApplySceneControl(when, 0, shot);
            soc::RenderRoadScene(picture.data(), picture.data() + kWidth * kHeight, kWidth, kHeight, shot);
            motion += _api->vpRun(picture.data(), _api) == 1;
        }
        return motion;
    }

private:
    std::vector<char> _mask;
    MOTDET* _api;
};

TEST(Scene, AStandingCarSeesNoMotionUntilSomeoneWalksPast)
{
    board::BoardState state;
    board::Outside outside;
    outside.Start(state);
    // The scene file is read a few times a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int level : { 2, 4, 6 })
        EXPECT_EQ(Detector(level).MotionSteps(Clock::now(), 2), 0) << "level " << level;

    state.sensors.motionSec = 2;
    ++state.sensors.motions;
    outside.Apply(state);
    Clock::time_point walking = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int level : { 2, 4, 6 })
        EXPECT_GT(Detector(level).MotionSteps(walking + std::chrono::milliseconds(300), 1.5), 10) << "level " << level;
    EXPECT_EQ(Detector(4).MotionSteps(walking + std::chrono::seconds(3), 2), 0) << "once past, still again";
}

TEST(Scene, TheRoadMovesWhileTheCarDrives)
{
    board::BoardState state;
    state.sensors.gps.kmh = 60;
    board::Outside outside;
    outside.Start(state);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(Detector(6).MotionSteps(Clock::now(), 2), 0);
}

} // namespace
