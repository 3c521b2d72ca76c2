// The date and time overlay: the built-in font's drawing, the regions' places
// by video size, and when pictures are redrawn.

#include "bmworks/BmOverlay.h"
#include "bmworks/bmworks.h"
#include "host/soc/Rgn.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Box {
    int left = 1 << 30;
    int top = 1 << 30;
    int right = -1; // exclusive
    int bottom = -1;
    bool Empty() const { return right < 0; }
};

// Where blending the camera's regions changes a mid-grey frame.
Box Changed(int chn, int width, int height)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3 / 2, 128);
    soc::RgnBlendIntoFrame(chn, frame.data(), width, height);
    Box b;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            if (frame[static_cast<size_t>(y) * width + x] == 128)
                continue;
            b.left = std::min(b.left, x);
            b.top = std::min(b.top, y);
            b.right = std::max(b.right, x + 1);
            b.bottom = std::max(b.bottom, y + 1);
        }
    }
    return b;
}

uint32_t gDebugPicture[1152 * 96];
int gClockCalls = 0;

// Draws an opaque clock and debug picture filling the whole picture.
void* FullPictures(int id, std::string)
{
    if (id < 100)
        gClockCalls++;
    for (uint32_t& px : gDebugPicture)
        px = 0xFFFFFFFF;
    return gDebugPicture;
}

void* NoDebugText(int id, std::string)
{
    return id < 100 ? FullPictures(id, "") : nullptr;
}

class Overlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        overlay = BmOverlay::Inst();
        overlay->SetDrawClockCallback(nullptr);
        overlay->Start();
    }
    void TearDown() override
    {
        overlay->Remove(Front);
        overlay->Remove(Rear);
        overlay->Stop();
    }
    BmOverlay* overlay = nullptr;
};

TEST_F(Overlay, ClockTextIsDrawnCentredInOpaqueCells)
{
    overlay->DrawTextToBitmap(" 2024.03.07  18:05:09 ", overlay->mClockBitmap);
    const auto* px = static_cast<const uint32_t*>(overlay->mClockBitmap.mpData);
    int inked = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 384; x++) {
            uint32_t p = px[y * 384 + x];
            bool cell = x >= 48 && x < 336 && y >= 2 && y < 30;
            ASSERT_EQ(p >> 24, cell ? 0xFFu : 0u) << x << "," << y;
            ASSERT_EQ(p & 0xFF, (p >> 8) & 0xFF) << "grey";
            inked += (p & 0xFF) > 128;
        }
    }
    EXPECT_GT(inked, 400);
    EXPECT_EQ(overlay->mBitmapDataClock[BmOverlay::BITMAP_SIZE - 1], BmOverlay::GUARD_WORD);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(overlay->mClockBitmap.mpData) % 16, 0u);
    EXPECT_GT(static_cast<uint32_t*>(overlay->mClockBitmap.mpData), overlay->mBitmapDataClock);
}

TEST_F(Overlay, FontWidthsKeepTheClockAt288Pixels)
{
    const struct {
        char c;
        int width;
        int bytesPerLine;
    } rows[] = {{' ', 6, 8}, {'0', 13, 16}, {'9', 13, 16}, {'.', 6, 8}, {':', 7, 8}, {'-', 8, 8}};
    for (const auto& r : rows) {
        const FONT_CHARINFO& f = FontEnglish_28_CharInfo[r.c - 32];
        EXPECT_EQ(f.xSize, r.width) << r.c;
        EXPECT_EQ(f.xDist, r.width) << r.c;
        EXPECT_EQ(f.bytesPerLine, r.bytesPerLine) << r.c;
    }
    for (int code = 'A'; code <= 'Z'; code++) {
        EXPECT_GE(FontEnglish_28_CharInfo[code - 32].xSize, 13) << code;
        EXPECT_LE(FontEnglish_28_CharInfo[code - 32].xSize, 22) << code;
    }
    for (int code = 147; code <= 159; code++)
        EXPECT_EQ(FontEnglish_28_CharInfo[code - 32].xSize, 24) << code;
    for (int i = 1; i < 128; i++) {
        const FONT_CHARINFO& prev = FontEnglish_28_CharInfo[i - 1];
        EXPECT_EQ(FontEnglish_28_CharInfo[i].pData, prev.pData + prev.bytesPerLine * 28) << "in code order";
    }
}

// The clock lies at its table place for each video size; the user
// interface's debug text fills the text region.
TEST_F(Overlay, RegionsSitAtTheirPlacesForEachVideoSize)
{
    const struct {
        int width;
        int height;
        Box clock;
        Box text;
    } sizes[] = {
        {3840, 2160, {2688, 96, 3840, 192}, {1568, 2064, 1568 + 704, 2096}},
        {2560, 1440, {1792, 96, 2560, 160}, {928, 1360, 928 + 704, 1392}},
        {2304, 1296, {1728, 96, 2304, 144}, {800, 1216, 800 + 704, 1248}},
        {1920, 1080, {1344, 96, 1920, 144}, {608, 1008, 608 + 704, 1040}},
        {1280, 720, {896, 96, 1280, 128}, {288, 656, 288 + 704, 688}},
    };
    overlay->SetDrawClockCallback(FullPictures);
    for (const auto& s : sizes) {
        overlay->Add(Front, MOD_ID_VENC, 0, 5, s.width, s.height);
        overlay->UpdateRegion();
        // The debug picture is clock-sized: it fills the text region's top left.
        Box all = Changed(5, s.width, s.height);
        EXPECT_EQ(all.right, s.clock.right) << s.height;
        EXPECT_EQ(all.top, s.clock.top) << s.height;
        EXPECT_EQ(all.bottom, s.text.bottom) << s.height;
        EXPECT_EQ(all.left, std::min(s.clock.left, s.text.left)) << s.height;
        overlay->Remove(Front);
        EXPECT_EQ(overlay->mRegionsText[Front].targetHandle, -1);
        EXPECT_TRUE(Changed(5, s.width, s.height).Empty()) << "removed";
    }
}

TEST_F(Overlay, BuiltInClockStaysInsideItsRegion)
{
    overlay->Add(Rear, MOD_ID_VENC, 0, 6, 1280, 720);
    overlay->UpdateRegion();
    Box b = Changed(6, 1280, 720);
    ASSERT_FALSE(b.Empty());
    EXPECT_EQ(b.left, 896 + 48);
    EXPECT_EQ(b.right, 896 + 336);
    EXPECT_EQ(b.top, 96 + 2);
    EXPECT_EQ(b.bottom, 96 + 30);
}

TEST_F(Overlay, ClockIsRedrawnOncePerSecondAndAfterEachAdd)
{
    overlay->SetDrawClockCallback(NoDebugText);
    overlay->Add(Front, MOD_ID_VENC, 0, 5, 1920, 1080);
    gClockCalls = 0;
    overlay->UpdateRegion();
    overlay->UpdateRegion();
    EXPECT_EQ(gClockCalls, 1) << "the same second draws once";
    overlay->Add(Front, MOD_ID_VENC, 0, 5, 1920, 1080);
    overlay->UpdateRegion();
    EXPECT_EQ(gClockCalls, 2) << "the first update after Add draws";
    Box b = Changed(5, 1920, 1080);
    EXPECT_EQ(b.bottom, 144) << "no debug text: the text region keeps no picture";
}

std::time_t SeventhOfMarch()
{
    struct tm t {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 18;
    t.tm_min = 5;
    t.tm_sec = 9;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// The clock shown is the one the program hands the engine.
TEST_F(Overlay, ClockTextComesFromTheProgramsClock)
{
    BmWorks::Inst()->SetWallClock(SeventhOfMarch);
    overlay->Add(Rear, MOD_ID_VENC, 0, 6, 1280, 720);
    overlay->UpdateRegion();
    EXPECT_EQ(overlay->lastUpdateClock, " 2024.03.07  18:05:09 ");
    BmWorks::Inst()->SetWallClock([] { return std::time(nullptr); });
}

// A GLib loop on a thread of its own, as the engine's, owning the default context.
class Loop {
public:
    Loop() : mLoop(g_main_loop_new(nullptr, FALSE)), mThread([this] { g_main_loop_run(mLoop); }) {}
    ~Loop()
    {
        Run([this] { g_main_loop_quit(mLoop); });
        mThread.join();
        g_main_loop_unref(mLoop);
    }
    // Runs f on the loop's thread and waits for it.
    void Run(std::function<void()> f)
    {
        std::atomic<bool> done{false};
        auto call = std::make_pair(&f, &done);
        g_idle_add(
            [](gpointer data) -> gboolean {
                auto* c = static_cast<decltype(call)*>(data);
                (*c->first)();
                *c->second = true;
                return G_SOURCE_REMOVE;
            },
            &call);
        while (!done)
            std::this_thread::yield();
    }

private:
    GMainLoop* mLoop;
    std::thread mThread;
};

// Start asked from the main thread while the engine loop draws: the strings
// and guard words are reset on the loop, never under the drawing's feet.
TEST_F(Overlay, StartFromAnotherThreadIsCarriedOutOnTheEngineLoop)
{
    overlay->Stop();
    overlay->lastUpdateClock = "x";
    {
        Loop loop;
        std::mutex busy;
        busy.lock();
        std::atomic<bool> inTurn{false};
        std::thread blocker([&] { loop.Run([&] { inTurn = true; std::lock_guard<std::mutex> wait(busy); }); });
        while (!inTurn)
            std::this_thread::yield();
        overlay->Start();
        EXPECT_EQ(overlay->lastUpdateClock, "x") << "not done on the caller's thread";
        busy.unlock();
        blocker.join();
        bool started = false;
        loop.Run([&] { started = overlay->lastUpdateClock != "x" && overlay->mDrawToBitmapTaskId != 0; });
        EXPECT_TRUE(started);
        loop.Run([&] { overlay->StopOnEngine(); });
    }
}

TEST(OverlayDeath, OverlongTextEndsTheProgram)
{
    EXPECT_DEATH(
        {
            BmOverlay* o = BmOverlay::Inst();
            o->Start();
            o->SetDrawClockCallback(nullptr);
            BITMAP_S tooSmall = o->mClockBitmap;
            tooSmall.mWidth = 100;
            o->DrawTextToBitmap(" 2024.03.07  18:05:09 ", tooSmall);
        },
        "bitmap.mWidth >= textWidth");
}

} // namespace
