// Prepares the replay encoder's loops that the suite's real-time cases use,
// before any of them runs: a loop is encoded once (seconds of software
// H.265 per camera) and kept in the build, so that no case starts its cameras
// late because it happened to be the first to need a loop. Each case starts
// the engine as the cases that need its loops do.

#include "EngineRun.h"

#include <gtest/gtest.h>

namespace {

// Both cameras at these sizes, until each has buffered a unit.
BmWorks* Encoding(VideoSize front, VideoSize rear)
{
    UseReplayEncoding();
    BmWorks* works = Engine();
    works->SetCongigBeforeStart(Front, front);
    works->SetCongigBeforeStart(Rear, rear);
    for (CameraPosition camera : {Front, Rear})
        EXPECT_EQ(works->Start(camera), 0);
    OnEngine([works] {
        for (BmMux& mux : works->bmMux)
            mux.mVideo.RunVideoEnc();
    });
    for (BmMux& mux : works->bmMux)
        EXPECT_TRUE(WaitFor([&] { return mux.mVideo.mVideoBuffer.GetLastBufferTime() != 0; }, 420000));
    return works;
}

// Units of the rear camera at a reduced rate come once its loop is ready.
void ReduceRearRate(BmWorks* works)
{
    BmVideo& rear = works->bmMux[Rear].mVideo;
    uint64_t changed = 0;
    works->SetFpsRear(F16);
    OnEngine([&] { changed = BmClock::Inst()->Usec(); });
    EXPECT_TRUE(WaitFor([&] {
        size_t units = 0;
        OnEngine([&] { units = Units(rear.mVideoBuffer, changed).size(); });
        return units > 0;
    }, 420000));
}

// The recorder's own sizes, and the rear's reduced rate of the rate tests.
TEST(ReplayLoops, RecorderSizes)
{
    ReduceRearRate(Encoding(WQHD, FHD));
}

// The recording cases' 720p on both cameras, and the rear's reduced rate.
TEST(ReplayLoops, RecordingSizes)
{
    ReduceRearRate(Encoding(HD, HD));
}

} // namespace
