// Time stamps of captured frames: one capture interval of the camera's rate
// apart, with the clock's drift taken up only beyond ±200 ms.

#include "bmworks/BmVideo.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr uint64_t kStart = 5000000;

// Stamps frames 0..last with the clock at the given times; returns the stamps.
std::vector<uint64_t> Stamp(BmVideo& video, int last, const std::function<uint64_t(int)>& clockAt)
{
    std::vector<uint64_t> stamps;
    for (int count = 0; count <= last; count++) {
        video.mEncodingFrameCount = count;
        stamps.push_back(video.StampPts(clockAt(count)));
    }
    return stamps;
}

TEST(EncoderTimestamps, StepByTheCaptureInterval)
{
    const struct {
        int captureFps;
        double intervalUsec;
    } cases[] = {{30, 1e6 / 30}, {27, 1e6 / 27}, {25, 1e6 / 25}, {60, 1e6 / 60}};
    for (const auto& c : cases) {
        BmVideo video;
        video.mCaptureFps = c.captureFps;
        auto stamps = Stamp(video, 99, [&](int n) { return kStart + static_cast<uint64_t>(n * c.intervalUsec); });
        EXPECT_EQ(stamps[0], kStart);
        for (int n = 1; n <= 99; n++) {
            EXPECT_EQ(stamps[n] % 4, 0u);
            EXPECT_NEAR(static_cast<double>(stamps[n] - kStart), n * c.intervalUsec, n + 4) << c.captureFps << " " << n;
        }
    }
}

TEST(EncoderTimestamps, DriftBeyondTwoHundredMillisecondsIsTakenUp)
{
    const struct {
        int64_t lagUsec;
        int64_t jumpUsec;
    } cases[] = {{250000, 250000}, {150000, 0}, {-250000, -250000}, {-150000, 0}};
    for (const auto& c : cases) {
        BmVideo video;
        video.mCaptureFps = 30;
        auto stamps = Stamp(video, 100, [&](int n) {
            return static_cast<uint64_t>(static_cast<int64_t>(kStart + n * 33333) + (n > 0 ? c.lagUsec : 0));
        });
        EXPECT_NEAR(static_cast<double>(stamps[99] - kStart), 99 * 33333, 4) << c.lagUsec;
        EXPECT_NEAR(static_cast<double>(stamps[100]) - kStart, 100 * 33333 + c.jumpUsec, 4) << c.lagUsec;
    }
}

} // namespace
