// The driver-assistance library's frame entry, its queue and its picture
// reduction. Every case runs in a process of its own, so the library's
// file-level state starts fresh in each.

#include "RoadFrame.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/FsAdas.h"

#include <gtest/gtest.h>

namespace {

using adastest::H;
using adastest::RoadFrame;
using adastest::W;

struct Block {
    int slot[ADAS_SLOTS] = {};
    Block(int speed, bool ldws, bool fcws)
    {
        slot[ADAS_SPEED] = speed;
        slot[ADAS_LDWS_LEVEL_LEFT] = slot[ADAS_LDWS_LEVEL_RIGHT] = 3;
        slot[ADAS_LDWS_HOLD_OFF] = slot[ADAS_FCWS_HOLD] = 68;
        slot[ADAS_LDWS_MIN_SPEED] = slot[ADAS_FCWS_MIN_SPEED] = 40;
        slot[ADAS_LDWS_ON] = ldws;
        slot[ADAS_FCWS_ON] = fcws;
    }
};

int Analyse(const RoadFrame& frame, Block& block)
{
    return __fs_adas_main_process(frame.Y(), frame.VU(), block.slot);
}

TEST(AdasQueue, InitTakesTwoToEightAndRoundsUpToAPowerOfTwo)
{
    const struct {
        int n;
        int result;
        uint32_t capacity;
    } cases[] = {{1, 0, 0}, {9, 0, 0}, {2, 1, 2}, {3, 1, 4}, {4, 1, 4}, {5, 1, 8}, {8, 1, 8}};
    for (const auto& c : cases) {
        FS_QUE q{};
        EXPECT_EQ(InitQ(&q, c.n), c.result) << c.n;
        EXPECT_EQ(q.capacity, c.capacity) << c.n;
    }
}

TEST(AdasQueue, PushDropsTheOldestPutRefusesGetTakesTheOldest)
{
    FS_QUE q{};
    ASSERT_EQ(InitQ(&q, 3), 1);
    EXPECT_TRUE(IsEmptyQ(&q));
    for (int v : {1, 2, 3, 4})
        EXPECT_EQ(PushQ(&q, v), 0);
    EXPECT_TRUE(IsFullQ(&q));
    EXPECT_EQ(PutQ(&q, 9), 0) << "a full queue refuses";
    EXPECT_EQ(PushQ(&q, 5), 1) << "the oldest is dropped";
    EXPECT_EQ(PushQ(&q, 6), 1);
    EXPECT_EQ(q.held, 4);
    EXPECT_EQ(q.sum, 3 + 4 + 5 + 6);
    EXPECT_EQ(SeeQHead(&q), 6);
    EXPECT_EQ(SeeQTail(&q), 3);
    int out = 0;
    EXPECT_EQ(GetQ(&q, &out), 1);
    EXPECT_EQ(out, 3);
    EXPECT_EQ(q.sum, 15);
    EXPECT_EQ(q.held, 3);
    EXPECT_EQ(PutQ(&q, 7), 1);
    EXPECT_EQ(q.sum, 22);
}

TEST(AdasQueue, BitResolution)
{
    const int cases[][2] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {7, 3}, {8, 4}, {255, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(GetBitResolution(c[0]), c[1]) << c[0];
}

TEST(AdasReduction, TakesEverySecondPixelAndAveragesTheUpperHalf)
{
    static uint8_t luma[W * H];
    static uint8_t chroma[W * H / 2];
    for (int row = 0; row < H; row++)
        for (int x = 0; x < W; x++)
            luma[row * W + x] = static_cast<uint8_t>((x % 2 == 0 && row % 2 == 0) ? (row < 270 ? 100 : 7) : 255);
    for (int k = 0; k < W * H / 2; k++)
        chroma[k] = static_cast<uint8_t>(k % 2 == 0 ? 200 : 50); // V, then U
    static uint8_t gray[ADAS_SMALL_W * ADAS_SMALL_H];
    static uint8_t colour[ADAS_SMALL_W * ADAS_SMALL_H * 3];
    EXPECT_EQ(__fs_gfx_extract__nv21_540_to_270p_Y_UV(luma, chroma, gray, colour), 100);
    EXPECT_EQ(gray[0], 100);
    EXPECT_EQ(gray[ADAS_SMALL_W * 200 + 5], 7);
    const uint8_t* pixel = colour + 3 * (ADAS_SMALL_W * 200 + 5);
    EXPECT_EQ(pixel[0], 7);
    EXPECT_EQ(pixel[1], 50) << "U";
    EXPECT_EQ(pixel[2], 200) << "V";
}

TEST(AdasReduction, PlanarCopySplitsTheChroma)
{
    RoadFrame frame;
    frame.vu[0] = 11;
    frame.vu[1] = 22;
    static uint8_t planar[ADAS_420_SIZE];
    __fs_gfx_convert540__nv21_to_420_Y_UV(frame.Y(), frame.VU(), planar);
    EXPECT_EQ(planar[W * H - 1], frame.y[W * H - 1]);
    EXPECT_EQ(planar[ADAS_420_U], 22);
    EXPECT_EQ(planar[ADAS_420_V], 11);
}

TEST(AdasEntry, FirstCallPrintsTheBannerAndLaterCallsNothing)
{
    RoadFrame frame(120, 120);
    Block block(60, true, true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Analyse(frame, block), 0);
    std::string first = testing::internal::GetCapturedStdout();
    EXPECT_NE(first.find("*MSG from FSS* FS_ADAS version__: 0.0.4\n"), std::string::npos) << first;
    EXPECT_NE(first.find("*MSG from FSS* FS_ADAS date__   : 2020-11-26\n"), std::string::npos) << first;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Analyse(frame, block), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(_shared_adas_data.brightness, 120);
}

TEST(AdasEntry, LaneResultStaysQuietAtOrBelowTheMinimumSpeedOrSwitchedOff)
{
    RoadFrame frame = RoadFrame::Lane(100, 860);
    const struct {
        int speed;
        bool on;
    } cases[] = {{20, true}, {21, true}, {40, true}, {90, false}};
    for (const auto& c : cases) {
        Block block(c.speed, c.on, false);
        block.slot[ADAS_LDWS_RESULT] = -5;
        Analyse(frame, block);
        EXPECT_EQ(block.slot[ADAS_LDWS_RESULT], LDWS_QUIET) << c.speed;
    }
}

TEST(AdasEntry, CollisionResultIsClearedOnEveryCall)
{
    RoadFrame frame;
    for (int call = 1; call <= 4; call++) {
        Block block(60, false, true);
        block.slot[ADAS_FCWS_RESULT] = 7;
        Analyse(frame, block);
        EXPECT_EQ(block.slot[ADAS_FCWS_RESULT], 0) << call;
    }
}

TEST(AdasEntry, QuickTestConfiguration)
{
    Block block(99, false, false);
    EXPECT_EQ(__fs_adas_config_for_quick_test(block.slot), 0);
    const int expected[] = {0, 3, 3, 30, 50, 1};
    const int slots[] = {ADAS_SPEED, ADAS_LDWS_LEVEL_LEFT, ADAS_LDWS_LEVEL_RIGHT, ADAS_LDWS_HOLD_OFF,
                         ADAS_LDWS_MIN_SPEED, ADAS_LDWS_ON};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(block.slot[slots[i]], expected[i]) << slots[i];
}

} // namespace
