// The date and time burnt into a real H.265 recording of the front camera.

#include "bmworks/BmOverlay.h"
#include "dashrec/core/SystemClock.h"
#include "host/soc/Vo.h"
#include "tests/bmworks/EngineRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// How well the decoded clock area matches the built-in drawing of text: ink
// must be light and the cells' background dark.
double Match(const std::string& luma, int width, const std::string& text)
{
    // Drawn into a bitmap of its own: the engine keeps drawing the clock's.
    BmOverlay* o = BmOverlay::Inst();
    BITMAP_S bitmap = o->mClockBitmap;
    std::vector<uint32_t> pixels(static_cast<size_t>(bitmap.mWidth) * bitmap.mHeight);
    bitmap.mpData = pixels.data();
    o->DrawTextToBitmap(text, bitmap);
    const uint32_t* px = pixels.data();
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

// Mean luma over a rectangle of a width-wide grey picture.
double Mean(const std::string& luma, int width, int top, int left, int height, int w)
{
    double sum = 0;
    for (int y = top; y < top + height; y++) {
        for (int x = left; x < left + w; x++)
            sum += static_cast<uint8_t>(luma[static_cast<size_t>(y) * width + x]);
    }
    return sum / (height * w);
}

// The rear camera's mirror view is for the driver: the LCD shows it swapped
// left and right, the recording as the camera sees it. The caption's dark
// box marks the side.
TEST(RecordingOverlay, RearMirrorShowsOnTheLcdOnly)
{
    unsetenv("DASHREC_SOC_VENC");
    BmWorks* works = Engine();
    works->SetMirrorRear(true);
    works->SetCongigBeforeStart(Front, HD);
    works->SetCongigBeforeStart(Rear, HD);
    ASSERT_EQ(works->Start(Front), 0) << "the front camera owns the display";
    ASSERT_EQ(works->Start(Rear), 0);
    BmVideo& video = works->bmMux[Rear].mVideo;
    uint64_t after = 0;
    OnEngine([&] {
        video.RunVideoEnc();
        after = BmClock::Inst()->Usec();
    });
    works->SetVideoOutConfig(VocRear);
    BmVideo::SetVisible(true);
    ASSERT_TRUE(WaitFor([&] { return Units(video.mVideoBuffer, after).size() >= 10; }, 60000));
    OnEngine([&] { video.PauseVideoEnc(); });
    std::string stream = WriteRawStream(Units(video.mVideoBuffer, after), "/tmp/rear.hevc");
    std::string luma = Shell("ffmpeg -v error -i " + stream + " -frames:v 1 -f rawvideo -pix_fmt gray -");
    ASSERT_EQ(luma.size(), 1280u * 720u);
    EXPECT_LT(Mean(luma, 1280, 15, 15, 25, 100), 100) << "caption at the left of the recording";
    EXPECT_GT(Mean(luma, 1280, 15, 1165, 25, 100), 150);

    // Upright row r, column c at panel column (319 - r), row c; the upright
    // caption rows 6-18 sit at panel columns 301-313.
    auto mean = [](const soc::LcdPicture& lcd, int firstRow, int lastRow) {
        double sum = 0;
        for (int row = firstRow; row < lastRow; row++) {
            for (int col = 301; col < 313; col++)
                sum += (lcd.argb[static_cast<size_t>(row) * 320 + col] >> 8) & 0xFF;
        }
        return sum / ((lastRow - firstRow) * 12);
    };
    EXPECT_TRUE(WaitFor(
        [&] {
            soc::LcdPicture lcd = soc::VoComposeLcd();
            return lcd.width == 320 && mean(lcd, 400, 470) < 100 && mean(lcd, 10, 80) > 150;
        },
        5000))
        << "caption at the right of the LCD";
    const char* dir = std::getenv("DASHREC_BINARY_DIR");
    soc::VoSaveLcdPng((std::string(dir != nullptr ? dir : ".") + "/lcd_rear_mirror.png").c_str());
}

} // namespace

