// The decoder glue and the player's input gathering, apart from a file.

#include "Recordings.h"
#include "tests/bmworks/EngineRun.h"

#include "bmworks/BmPlayer.h"
#include "host/soc/Vo.h"
#include "mpp_comm/mpp_comm_vdec.h"
#include "mpp_comm/soc_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(DecoderGlue, ChannelOutsideTheRangeIsRefused)
{
    Engine();
    VDEC_CFG_S cfg = {640, 360, ROTATE_90, PT_H265};
    for (int channel : {-1, 16}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(mpp_comm_vdec_create(channel, &cfg, nullptr), -1);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("is error! 0~16"), std::string::npos);
    }
    ASSERT_EQ(mpp_comm_vdec_create(15, &cfg, nullptr), 0);
    EXPECT_EQ(mpp_comm_vdec_create(15, &cfg, nullptr), -1); // exists
    EXPECT_EQ(mpp_comm_vdec_destroy(15), 0);
    EXPECT_EQ(mpp_comm_vdec_destroy(15), -1);
}

// The display glue tells an existing clock channel by its code.
TEST(ClockChannels, ExistOnceAndKeepTheirHandler)
{
    Engine();
    CLOCK_CHN_ATTR_S attr = {2};
    SOC_CALLBACK_S callback = {nullptr, [](void*, MPP_CHN_S*, int, void*) { return 0; }};
    EXPECT_NE(SOC_MPI_CLOCK_RegisterCallback(3, &callback), 0);
    ASSERT_EQ(SOC_MPI_CLOCK_CreateChn(3, &attr), 0);
    EXPECT_EQ(static_cast<uint32_t>(SOC_MPI_CLOCK_CreateChn(3, &attr)), SOC_ERR_CLOCK_EXIST);
    EXPECT_EQ(SOC_MPI_CLOCK_RegisterCallback(3, &callback), 0);
    EXPECT_EQ(SOC_MPI_CLOCK_DestroyChn(3), 0);
    EXPECT_NE(SOC_MPI_CLOCK_DestroyChn(3), 0);
    EXPECT_NE(SOC_MPI_CLOCK_CreateChn(16, &attr), 0);
}

// Units that do not fit in the input buffer are dropped whole, with a log
// line, and gathering goes on with the next time stamp.
TEST(PlayerInput, AccessUnitLargerThanTheBufferIsDropped)
{
    Engine();
    ASSERT_TRUE(PanelReady());
    BmPlayer player;
    player.mVideoDecoderId = 14;
    OnEngine([&player] { ASSERT_EQ(player.Start(), 0); });
    std::vector<char> big(BmPlayer::kInputBytes + 1, 0);
    std::vector<char> half(BmPlayer::kInputBytes / 2 + 1, 0);
    std::vector<char> small(100, 0);
    auto write = [&player](std::vector<char>& bytes, uint64_t pts) {
        Nal nal;
        nal.buffer = bytes.data();
        nal.length = static_cast<int32_t>(bytes.size());
        nal.pts = pts;
        player.WriteStream(nal, true);
    };

    testing::internal::CaptureStdout();
    write(big, 1000);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("dropped"), std::string::npos);
    EXPECT_EQ(player.mLastOffset, 0);
    write(small, 1000); // the rest of the dropped unit
    EXPECT_EQ(player.mLastOffset, 0);

    write(half, 2000);
    testing::internal::CaptureStdout();
    write(half, 2000); // two halves of one unit do not fit together
    EXPECT_NE(testing::internal::GetCapturedStdout().find("dropped"), std::string::npos);
    EXPECT_EQ(player.mLastOffset, 0);

    write(small, 3000);
    write(small, 3000);
    EXPECT_EQ(player.mLastOffset, 200); // gathered by time stamp
    EXPECT_EQ(player.mLastPts, 3000u);
    OnEngine([&player] { player.Stop(); });
    EXPECT_EQ(player.mLastOffset, 0); // the pending unit went with the stop
}

// The player's own display frame: planar YVU 4:2:0 in one block, grey until
// a raw picture is written, which then shows on the display at once.
TEST(PlayerOutput, RawPictureShowsOnTheDisplay)
{
    Engine();
    ASSERT_TRUE(PanelReady());
    BmPlayer player;
    player.mFormat = VideoFormat{64, 32, 300, H265};
    player.mVideoDecoderId = 13;
    OnEngine([&player] { ASSERT_EQ(player.Start(), 0); });
    const VIDEO_FRAME_S& f = player.mVideoFrame.VFrame;
    EXPECT_EQ(f.mPixelFormat, MM_PIXEL_FORMAT_YVU_PLANAR_420);
    EXPECT_EQ(f.mField, VIDEO_FIELD_FRAME);
    const auto* y = static_cast<const uint8_t*>(f.mpVirAddr[0]);
    EXPECT_EQ(static_cast<const uint8_t*>(f.mpVirAddr[1]) - y, 64 * 32);
    EXPECT_EQ(static_cast<const uint8_t*>(f.mpVirAddr[2]) - y, 64 * 32 * 5 / 4);
    EXPECT_EQ(f.mOffsetBottom, 1080);
    EXPECT_EQ(f.mOffsetRight, 64);
    EXPECT_EQ(std::count(y + 64 * 32, y + 64 * 32 * 3 / 2, 128), 64 * 32 / 2) << "grey chroma";

    std::vector<char> picture(64 * 32 * 3 / 2, static_cast<char>(128));
    std::fill(picture.begin(), picture.begin() + 64 * 32, static_cast<char>(200));
    Nal nal;
    nal.buffer = picture.data();
    nal.length = static_cast<int32_t>(picture.size());
    nal.pts = 1234;
    OnEngine([&] { player.WriteFrame(nal); });
    EXPECT_EQ(f.mpts, 1234u);
    soc::LcdPicture lcd = soc::VoComposeLcd();
    ASSERT_FALSE(lcd.argb.empty());
    uint32_t middle = lcd.argb[lcd.argb.size() / 2];
    EXPECT_NEAR(static_cast<int>((middle >> 8) & 0xFF), (200 - 16) * 255 / 219, 3) << std::hex << middle;
    EXPECT_NEAR(static_cast<int>(middle & 0xFF), static_cast<int>((middle >> 16) & 0xFF), 4) << "grey";
    OnEngine([&player] { player.Stop(); });
    EXPECT_EQ(player.pVirtualVoAddr, nullptr);
}

} // namespace
