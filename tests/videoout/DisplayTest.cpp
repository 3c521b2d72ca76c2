// Both cameras on the LCD in the four layouts, and the driver-assistance
// frames of the front camera, on the host platform.

#include "host/soc/Vo.h"
#include "tests/bmworks/EngineRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Frames a camera's display task has handled so far.
int FramesSeen(CameraPosition camera = Front)
{
    int seen = 0;
    OnEngine([&seen, camera] { seen = BmWorks::Inst()->bmMux[camera].mVideo.mRtspEncoderCount; });
    return seen;
}

// The LCD's upright picture (480 x 320) as the driver sees it.
struct Screen {
    soc::LcdPicture lcd;
    // Upright row r, column c lies at panel column (319 - r), row c.
    uint32_t At(int r, int c) const { return lcd.argb[static_cast<size_t>(c) * lcd.width + (lcd.width - 1 - r)]; }
    // Mean of the green channel over an upright rectangle.
    double Mean(int top, int left, int height, int width) const
    {
        double sum = 0;
        for (int r = top; r < top + height; r++) {
            for (int c = left; c < left + width; c++)
                sum += (At(r, c) >> 8) & 0xFF;
        }
        return sum / (height * width);
    }
};

class Display : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("DASHREC_SOC_VENC", "replay", 1);
        BmWorks* works = Engine();
        works->SetFsadasCallback(Front, CountingCallback);
        works->SetCongigBeforeStart(Front, HD);
        works->SetCongigBeforeStart(Rear, HD);
        ASSERT_EQ(works->Start(Front), 0);
        ASSERT_EQ(works->Start(Rear), 0);
    }

    static Screen Show(VideoOutConfig config, const std::string& name)
    {
        BmWorks* works = BmWorks::Inst();
        works->SetVideoOutConfig(config);
        BmVideo::SetVisible(true);
        OnEngine([] {});
        // A few frames of each shown camera under the new layout.
        for (CameraPosition camera : {Front, Rear}) {
            if (!works->bmMux[camera].mVideo.IsRunVideoOut())
                continue;
            int seen = FramesSeen(camera);
            EXPECT_TRUE(WaitFor([&] { return FramesSeen(camera) >= seen + 3; }, 30000));
        }
        const char* dir = std::getenv("DASHREC_BINARY_DIR");
        std::string path = std::string(dir != nullptr ? dir : ".") + "/lcd_" + name + ".png";
        EXPECT_TRUE(soc::VoSaveLcdPng(path.c_str())) << path;
        return Screen{soc::VoComposeLcd()};
    }

    static void CountingCallback(int id, void* y, void* vu, int width, int height)
    {
        bool good = id == 0 && width == 960 && height == 540 && y != nullptr &&
                    static_cast<uint8_t*>(vu) == static_cast<uint8_t*>(y) + 960 * 540;
        if (!good)
            sBadCalls++;
        sCalls++;
        Sleep(sCallbackMs);
    }

    static std::atomic<int> sCalls;
    static std::atomic<int> sBadCalls;
    static std::atomic<int> sCallbackMs;
};

std::atomic<int> Display::sCalls{0};
std::atomic<int> Display::sBadCalls{0};
std::atomic<int> Display::sCallbackMs{0};

// Sky over the upper quarter's lower part means the main picture shows
// there; ground means the small picture (horizon at its middle) covers it.
bool SmallPictureShown(const Screen& s)
{
    return s.Mean(95, 250, 30, 220) < s.Mean(5, 130, 30, 100) * 0.8;
}

// The caption of the main picture: "FRONT nnnnnn" runs a character further
// than "REAR nnnnnn".
bool FrontIsMain(const Screen& s)
{
    return s.Mean(6, 108, 12, 6) < 150;
}

// The rear picture sits in the upright quarter at rows 0-159, columns
// 240-479 (the panel's rectangle 160, 240, 160, 240), over the main one.
TEST_F(Display, LayoutsPlaceTheCamerasInTheirRectangles)
{
    BmWorks* works = BmWorks::Inst();
    works->RunVideoOut(Front);
    works->RunVideoOut(Rear);
    const struct {
        VideoOutConfig config;
        const char* name;
        bool frontMain;
        bool small;
        bool frontRuns;
        bool rearRuns;
    } layouts[] = {
        {VocFront, "front", true, false, true, false},
        {VocFrontRear, "front_rear", true, true, true, true},
        {VocRear, "rear", false, false, false, true},
        {VocRearFront, "rear_front", false, true, true, true},
    };
    for (const auto& l : layouts) {
        Screen s = Show(l.config, l.name);
        ASSERT_EQ(s.lcd.width, 320);
        ASSERT_EQ(s.lcd.height, 480);
        EXPECT_EQ(FrontIsMain(s), l.frontMain) << l.name;
        EXPECT_EQ(SmallPictureShown(s), l.small) << l.name;
        EXPECT_EQ(works->bmMux[Front].mVideo.IsRunVideoOut(), l.frontRuns) << l.name;
        EXPECT_EQ(works->bmMux[Rear].mVideo.IsRunVideoOut(), l.rearRuns) << l.name;
    }
}

TEST_F(Display, HiddenChannelsShowAgainWithBothPictures)
{
    Show(VocFrontRear, "both");
    BmVideo::SetVisible(false);
    EXPECT_FALSE(BmVideo::IsVisible());
    Screen hidden{soc::VoComposeLcd()};
    EXPECT_LT(hidden.Mean(0, 0, 320, 480), 1.0) << "nothing shown";
    BmVideo::SetVisible(true);
    EXPECT_TRUE(BmVideo::IsVisible());
    Screen shown{soc::VoComposeLcd()};
    EXPECT_TRUE(SmallPictureShown(shown));
    EXPECT_TRUE(FrontIsMain(shown));
}

// A phone's live stream shares the camera's display channel: its end leaves
// the live view showing, and stops the channel only when nothing shows there.
TEST_F(Display, PhoneStreamEndLeavesTheLiveViewShowing)
{
    BmVideo& front = BmWorks::Inst()->bmMux[Front].mVideo;
    Show(VocFront, "before_stream");
    OnEngine([&] { front.RunRtsp(); });
    EXPECT_TRUE(front.IsRunRtsp());
    OnEngine([&] { front.PauseRtsp(); });
    Screen after = Show(VocFront, "after_stream");
    EXPECT_TRUE(FrontIsMain(after)) << "the live view still shows";

    OnEngine([&] {
        front.PauseVideoOut();
        front.RunRtsp();
        front.PauseRtsp();
    });
    Screen stopped{soc::VoComposeLcd()};
    EXPECT_LT(stopped.Mean(0, 0, 320, 480), 1.0) << "without the live view the channel stops";
    OnEngine([&] { front.RunVideoOut(); });
    EXPECT_TRUE(FrontIsMain(Show(VocFront, "restarted")));
}

TEST_F(Display, RunningTwiceIsRefused)
{
    BmVideo& front = BmWorks::Inst()->bmMux[Front].mVideo;
    int first = 0;
    int second = 0;
    OnEngine([&] {
        front.PauseVideoOut();
        first = front.RunVideoOut();
        second = front.RunVideoOut();
    });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, -1);
}


// Every second frame reaches a quick analysis; a slow one gets fewer while
// the display task goes on at the capture's rate. Counted over frames, not
// over time, so that a loaded machine changes nothing but the wait.
TEST_F(Display, AssistanceGetsEverySecondFrameAndDropsWhileBusy)
{
    BmWorks::Inst()->RunVideoOut(Front);
    sCallbackMs = 0;
    Sleep(200);
    sCalls = 0;
    int before = FramesSeen();
    ASSERT_TRUE(WaitFor([before] { return FramesSeen() - before >= 60; }, 60000));
    int quick = sCalls;
    int frames = FramesSeen() - before;
    EXPECT_GE(quick, frames / 2 - 3);
    EXPECT_LE(quick, frames / 2 + 2);

    sCallbackMs = 500;
    Sleep(600);
    sCalls = 0;
    before = FramesSeen();
    ASSERT_TRUE(WaitFor([] { return sCalls >= 5; }, 60000));
    int slow = sCalls;
    frames = FramesSeen() - before;
    sCallbackMs = 0;
    EXPECT_GT(frames, 3 * slow) << "the display task never waits for the analysis, frames offered while it is busy are dropped";
    EXPECT_EQ(sBadCalls, 0);
}

// Every third rear frame is copied for a reader of the copy buffer.
TEST_F(Display, RearFramesAreCopiedForTheReader)
{
    BmWorks* works = BmWorks::Inst();
    works->RunVideoOut(Rear);
    works->RunDsmVideo();
    ASSERT_TRUE(WaitFor([works] { return works->GetDsmBufferCounter() >= 5; }, 30000));
    works->PauseDsmVideo();
    BmVideo& rear = works->bmMux[Rear].mVideo;
    int width = 0;
    int height = 0;
    OnEngine([&] {
        width = rear.mDsmFrameWidth;
        height = rear.mDsmFrameHeight;
    });
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    ASSERT_NE(works->GetDsmBuffer(), nullptr);
    std::vector<char> luma(640 * 360);
    works->CopyDsmVideo(luma.data());
    EXPECT_GT(std::count_if(luma.begin(), luma.end(), [](char c) { return c != 0; }), 640 * 300) << "a picture";
}

// A screenshot shows the user interface over the video where it is not clear.
TEST_F(Display, ScreenshotsPutTheInterfaceOverTheVideo)
{
    Show(VocFront, "ui_video");
    SDL_Surface* ui = SDL_CreateRGBSurface(SDL_SWSURFACE, 480, 320, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(ui, nullptr);
    SDL_FillRect(ui, nullptr, 0);
    SDL_Rect button = {10, 250, 100, 50};
    SDL_FillRect(ui, &button, 0xFFFFFF);
    const char* dir = std::getenv("DASHREC_BINARY_DIR");
    std::string path = std::string(dir != nullptr ? dir : ".") + "/lcd_ui_over_video.png";
    ASSERT_TRUE(soc::VoSaveScreenPng(path.c_str(), ui));
    SDL_FreeSurface(ui);
    std::string rgb = Shell("ffmpeg -v error -i " + path + " -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rgb.size(), 480u * 320u * 3u);
    auto green = [&rgb](int r, int c) { return static_cast<uint8_t>(rgb[(static_cast<size_t>(r) * 480 + c) * 3 + 1]); };
    EXPECT_EQ(green(270, 50), 255) << "the button";
    EXPECT_GT(green(60, 300), 150) << "the sky of the video";
    EXPECT_LT(green(60, 300), 255);
    EXPECT_LT(green(250, 240), 150) << "the road of the video";
}

} // namespace

