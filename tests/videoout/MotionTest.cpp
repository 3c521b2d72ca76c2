// Motion detection: the reduced picture, which frames are analysed, how
// results are counted, and the host's detector on the synthetic cameras.

#include "bmworks/BmMod.h"
#include "tests/bmworks/EngineRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

struct Frame {
    VIDEO_FRAME_INFO_S info{};
    std::vector<uint8_t> pixels;
    Frame(int w, int h, uint8_t (*luma)(int x, int y)) : pixels(static_cast<size_t>(w) * h * 3 / 2, 128)
    {
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++)
                pixels[static_cast<size_t>(y) * w + x] = luma(x, y);
        }
        VIDEO_FRAME_S& v = info.VFrame;
        v.mWidth = static_cast<uint32_t>(w);
        v.mHeight = static_cast<uint32_t>(h);
        v.mStride[0] = v.mStride[1] = v.mWidth;
        v.mpVirAddr[0] = pixels.data();
        v.mpVirAddr[1] = pixels.data() + static_cast<size_t>(w) * h;
    }
};

uint8_t Pattern(int x, int y)
{
    return static_cast<uint8_t>((x / 6) * 7 + (y / 6) * 3);
}

// Runs the analysis steps that SendFrame scheduled.
int RunSteps()
{
    int steps = 0;
    while (g_main_context_iteration(nullptr, FALSE))
        steps++;
    return steps;
}

// A detector whose results are given in advance.
std::vector<int> gResults;
size_t gNext = 0;
int Scripted(unsigned char*, MOTDET*)
{
    return gNext < gResults.size() ? gResults[gNext++] : 0;
}

std::vector<std::pair<CameraPosition, int>> gCalls;
void Record(CameraPosition camera, int sensitivity)
{
    gCalls.emplace_back(camera, sensitivity);
}

TEST(Motion, EverySecondFrameIsSubSampledToThePicture)
{
    BmMod mod;
    mod.Init(Rear);
    ASSERT_TRUE(mod.mInited);
    Frame fhd(1920, 1080, Pattern);
    VIDEO_FRAME_INFO_S* out = nullptr;
    mod.SendFrame(&fhd.info, &out);
    ASSERT_EQ(out, &mod.mVideoFrame);
    EXPECT_EQ(out->VFrame.mOffsetRight, 319);
    EXPECT_EQ(out->VFrame.mOffsetBottom, 179);
    const auto* luma = reinterpret_cast<const uint8_t*>(mod.pVirtualAddr[0]);
    for (int r = 0; r < 180; r++) {
        for (int c = 0; c < 320; c++)
            ASSERT_EQ(luma[r * 320 + c], Pattern(6 * c, 6 * r)) << r << "," << c;
    }
    EXPECT_EQ(static_cast<uint8_t>(mod.pVirtualAddr[1][100]), 128) << "grey chroma";
    EXPECT_EQ(RunSteps(), 1);

    Frame odd(1920, 1080, [](int, int) -> uint8_t { return 1; });
    mod.SendFrame(&odd.info, nullptr);
    EXPECT_EQ(luma[0], Pattern(0, 0)) << "frame 1 is only counted";
    EXPECT_EQ(RunSteps(), 0);

    // 2304 wide: a step of 8 fills 288 x 162; the rest keeps the last picture.
    Frame shd(2304, 1296, [](int, int) -> uint8_t { return 9; });
    mod.SendFrame(&shd.info, nullptr);
    EXPECT_EQ(luma[161 * 320 + 287], 9);
    EXPECT_EQ(luma[161 * 320 + 288], Pattern(6 * 288, 6 * 161));
    EXPECT_EQ(luma[162 * 320], Pattern(0, 6 * 162));
    EXPECT_EQ(RunSteps(), 1);
    EXPECT_EQ(mod.mFrameCount, 3);
    mod.Uninit();
    EXPECT_FALSE(mod.mInited);
    mod.SendFrame(&fhd.info, nullptr);
    EXPECT_EQ(RunSteps(), 0) << "no picture after Uninit";
}

TEST(Motion, EverySecondMotionResultCallsBack)
{
    const struct {
        std::vector<int> results;
        size_t calls;
    } cases[] = {
        {{1, 0, 0, 1}, 1},
        {{1, 1, 1, 1}, 2},
        {{1, 4, 2, 3}, 0},
        {{0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        BmMod mod;
        mod.Init(Rear);
        mod.mSensitivity = 3;
        mod.SetCallback(Record);
        MOTDET scripted{};
        scripted.vpRun = Scripted;
        mod.pDvar = &scripted;
        gResults = c.results;
        gNext = 0;
        gCalls.clear();
        testing::internal::CaptureStdout();
        for (size_t i = 0; i < c.results.size(); i++)
            BmMod::DtcaProcess(&mod);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(gCalls.size(), c.calls) << c.results[0] << c.results[1];
        for (const auto& call : gCalls)
            EXPECT_EQ(call, std::make_pair(Rear, 3));
        if (c.results[1] == 4) {
            EXPECT_NE(out.find("BmMod: camera cover happen\n"), std::string::npos);
            EXPECT_NE(out.find("BmMod: ROI cover happen\n"), std::string::npos);
            EXPECT_EQ(mod.mResultCount, 1) << "cover does not count";
        }
        mod.pDvar = nullptr;
    }
}

TEST(Motion, StillSceneIsQuietAndCoveredCameraReported)
{
    BmMod mod;
    mod.Init(Front);
    mod.SetCallback(Record);
    EXPECT_EQ(BmMod::DtcaProcess(&mod), 0) << "no detector yet: nothing";
    mod.Start();
    mod.Start(); // the first detector is freed (the sanitizer build would tell)
    ASSERT_NE(mod.pDvar, nullptr);
    gCalls.clear();
    Frame still(1280, 720, Pattern);
    for (int i = 0; i < 20; i++) {
        mod.SendFrame(&still.info, nullptr);
        RunSteps();
    }
    EXPECT_TRUE(gCalls.empty());
    Frame black(1280, 720, [](int, int) -> uint8_t { return 0; });
    testing::internal::CaptureStdout();
    mod.SendFrame(&black.info, nullptr);
    RunSteps();
    EXPECT_EQ(mod.mResult, 4);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("BmMod: camera cover happen"), std::string::npos);
}

std::atomic<int> gEngineCalls{0};
void CountMotion(CameraPosition camera, int)
{
    if (camera == Front)
        gEngineCalls++;
}

// The synthetic road moves: the front camera's detector fires.
TEST(Motion, MovingSceneFiresTheCallbackOnTheEngine)
{
    setenv("DASHREC_SOC_VENC", "replay", 1);
    BmWorks* works = Engine();
    works->SetMotionDetectCallback(CountMotion);
    works->SetCongigBeforeStart(Front, HD);
    ASSERT_EQ(works->Start(Front), 0);
    works->SetModSensivity(4);
    works->RunMotionDetect();
    EXPECT_TRUE(WaitFor([] { return gEngineCalls >= 2; }, 20000));
    works->PauseMotionDetect();
    OnEngine([] {});
}

} // namespace
