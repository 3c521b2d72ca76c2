// The date and time burnt into a real H.265 recording of the front camera.

#include "bmworks/BmOverlay.h"
#include "dashrec/core/SystemClock.h"
#include "tests/bmworks/EngineRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// How well the decoded clock area matches the built-in drawing of text: ink
// must be light and the cells' background dark.
double Match(const std::string& luma, int width, const std::string& text)
{
    BmOverlay* o = BmOverlay::Inst();
    o->DrawTextToBitmap(text, o->mClockBitmap);
    const auto* px = static_cast<const uint32_t*>(o->mClockBitmap.mpData);
    int total = 0;
    int good = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 384; x++) {
            uint32_t p = px[y * 384 + x];
            if ((p >> 24) == 0)
                continue;
            int level = static_cast<uint8_t>(luma[static_cast<size_t>(96 + y) * width + 896 + x]);
            bool ink = (p & 0xFF) > 200;
            bool paper = (p & 0xFF) == 0;
            if (!ink && !paper)
                continue;
            total++;
            good += ink ? level > 120 : level < 110;
        }
    }
    return total > 0 ? static_cast<double>(good) / total : 0;
}

std::string ClockText(time_t t)
{
    struct tm c {};
    localtime_r(&t, &c);
    char text[64];
    snprintf(text, sizeof(text), " %04d.%02d.%02d  %02d:%02d:%02d ", c.tm_year + 1900, c.tm_mon + 1, c.tm_mday,
             c.tm_hour, c.tm_min, c.tm_sec);
    return text;
}

TEST(RecordingOverlay, ClockReadsTheTimeOnlyInsideItsRegion)
{
    unsetenv("DASHREC_SOC_VENC");
    BmWorks* works = Engine();
    works->SetCongigBeforeStart(Front, HD);
    ASSERT_EQ(works->Start(Front), 0);
    BmVideo& video = works->bmMux[Front].mVideo;
    uint64_t after = 0;
    OnEngine([&] {
        video.RunVideoEnc();
        after = BmClock::Inst()->Usec();
    });
    ASSERT_TRUE(WaitFor([&] { return Units(video.mVideoBuffer, after).size() >= 40; }, 60000));
    time_t end = vk::SystemClock::Now().tv_sec;
    OnEngine([&] { video.PauseVideoEnc(); });
    std::string stream = WriteRawStream(Units(video.mVideoBuffer, after), "/tmp/overlay.hevc");
    // The 31st frame: the first ones may come before the first 100 ms drawing.
    const std::string last = " -vf select='eq(n\\,30)' -frames:v 1 ";
    Shell("ffmpeg -v error -y -i " + stream + last + "-update 1 /tmp/overlay.png");
    std::string luma = Shell("ffmpeg -v error -i " + stream + last + "-f rawvideo -pix_fmt gray -");
    ASSERT_EQ(luma.size(), 1280u * 720u);

    double best = 0;
    for (time_t t = end - 5; t <= end; t++)
        best = std::max(best, Match(luma, 1280, ClockText(t)));
    EXPECT_GT(best, 0.9) << "the clock reads the time of the recording";

    // The sky around the clock keeps no dark cell pixels.
    int stray = 0;
    for (int y = 0; y < 240; y++) {
        for (int x = 640; x < 1280; x++) {
            bool inClock = x >= 896 + 40 && x < 896 + 344 && y >= 90 && y < 132;
            stray += !inClock && static_cast<uint8_t>(luma[static_cast<size_t>(y) * 1280 + x]) < 100;
        }
    }
    EXPECT_LT(stray, 50);
}

} // namespace
