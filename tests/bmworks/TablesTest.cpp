// The engine's fixed tables: sizes, rates, frame reduction and bitrates.

#include "bmworks/bmworks.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

TEST(EngineTables, Fps10PerRate)
{
    const struct {
        DynamicFps fps;
        int fps10;
    } cases[] = {
        {F6, 300}, {F7, 70}, {F16, 160}, {F22, 220}, {F25, 251}, {F27, 275}, {F29, 299}, {F30, 300}, {F60, 600},
        {static_cast<DynamicFps>(12), 300},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BmWorks::GetFps10(c.fps), c.fps10) << c.fps;
}

TEST(EngineTables, VideoSizesBothWays)
{
    const struct {
        VideoSize size;
        int width;
        int height;
    } sizes[] = {{UHD, 3840, 2160}, {WQHD, 2560, 1440}, {SHD, 2304, 1296}, {FHD, 1920, 1080}, {HD, 1280, 720}};
    for (const auto& s : sizes) {
        EXPECT_EQ(BmWorks::GetWidth(s.size), s.width);
        EXPECT_EQ(BmWorks::GetHeight(s.size), s.height);
        EXPECT_EQ(BmWorks::GetVideoSize(s.height), s.size);
    }
    EXPECT_EQ(BmWorks::GetWidth(static_cast<VideoSize>(9)), 1920);
    EXPECT_EQ(BmWorks::GetHeight(static_cast<VideoSize>(9)), 1080);
    EXPECT_EQ(BmWorks::GetVideoSize(1234), WQHD);
}

TEST(EngineTables, ClockStartsOneSecondAhead)
{
    uint64_t ms = BmClock::Inst()->Msec();
    EXPECT_GE(ms, 1000u);
    EXPECT_LT(ms, 1100u);
    EXPECT_EQ(BmClock::Inst()->Sec(), 1u);
    EXPECT_GE(BmClock::Inst()->Usec(), 1000000u);
    EXPECT_GE(BmClock::Inst()->Nsec(), 1000000000u);
}

int Sent(const BmFrameTable& t, int frames)
{
    int sent = 0;
    for (int i = 0; i < frames; i++)
        sent += t.entries[i % t.length];
    return sent;
}

TEST(EngineTables, FrameReductionPerRate)
{
    const struct {
        DynamicFps fps;
        int length;
        int sent;
    } cases[] = {
        {F6, 5, 1}, {F7, 55, 14}, {F16, 55, 32}, {F22, 55, 44}, {F25, 55, 55}, {F27, 55, 55}, {F29, 55, 55},
        {F30, 55, 55}, {F60, 55, 55},
    };
    BmVideo video;
    for (const auto& c : cases) {
        video.SetVideoEncTable(c.fps);
        ASSERT_EQ(video.mEncodingFrameTable.length, c.length) << c.fps;
        EXPECT_EQ(Sent(video.mEncodingFrameTable, c.length), c.sent) << c.fps;
    }
    video.SetVideoEncTable(F16);
    const int32_t f16[] = {1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    for (int i = 0; i < 15; i++)
        EXPECT_EQ(video.mEncodingFrameTable.entries[i], f16[i]) << i;
    EXPECT_EQ(video.mEncodingFrameTable.entries[54], 0);
    video.SetVideoEncTable(static_cast<DynamicFps>(12));
    EXPECT_EQ(Sent(video.mEncodingFrameTable, 55), 32) << "an unknown rate keeps the table";
}

TEST(EngineTables, BitrateRule)
{
    const struct {
        int width;
        int height;
        DynamicFps fps;
        VideoCodec codec;
        int bitrate;
    } cases[] = {
        {1280, 720, F30, H265, 2666666},  {1920, 1080, F30, H265, 6000000}, {1920, 1080, F6, H265, 1200000},
        {2304, 1296, F30, H265, 8100000}, {2560, 1440, F27, H265, 8400000}, {2560, 1440, F30, H265, 9333333},
        {2560, 1440, F16, H265, 4977777}, {3840, 2160, F30, H265, 12000000}, {3840, 2160, F6, H265, 12000000},
        {1920, 1080, F30, H264, 7500000},
    };
    for (const auto& c : cases) {
        BmVideo video;
        video.mFormat.width = c.width;
        video.mFormat.height = c.height;
        video.mFormat.codec = c.codec;
        video.mDynamicFps = c.fps;
        EXPECT_EQ(video.CalcBitrate(27, 12000000), c.bitrate) << c.width << "x" << c.height << "@" << c.fps;
    }
}

TEST(EngineTables, DevicesAndConfigurationsPerCamera)
{
    BmVideo front;
    front.SetConfigBeforeStart(Front, 2560, 1440, 300, H265);
    EXPECT_EQ(front.mVideoInDevId[0], 0);
    EXPECT_EQ(front.mVideoInDevId[1], 1);
    EXPECT_EQ(front.mVideoEncoderId, 0);
    EXPECT_EQ(front.mVideoEncoderRtspId, 2);
    EXPECT_EQ(front.mVideoInputConfigType[0], VI_2K_30FPS);
    EXPECT_EQ(front.mVideoInputConfigType[1], VI_540P_30FPS);
    EXPECT_EQ(front.mVideoEncoderConfigType, VENC_2K_TO_2K_16M_30FPS);

    BmVideo rear;
    rear.SetConfigBeforeStart(Rear, 1920, 1080, 300, H265);
    EXPECT_EQ(rear.mVideoInDevId[0], 2);
    EXPECT_EQ(rear.mVideoInDevId[1], 3);
    EXPECT_EQ(rear.mVideoInChannelId[1], 1);
    EXPECT_EQ(rear.mVideoEncoderId, 1);
    EXPECT_EQ(rear.mVideoEncoderRtspId, 3);
    EXPECT_EQ(rear.mVideoOutChannelId, 1);
    EXPECT_EQ(rear.mVideoOutPriority, 2);
    EXPECT_EQ(rear.mVideoInputConfigType[0], VI_1080P_30FPS);
    EXPECT_EQ(rear.mVideoInputConfigType[1], VI_640x360);
    EXPECT_EQ(rear.mVideoEncoderRtspConfigType, VENC_540P_TO_360P_1M_30FPS);
}

TEST(EngineTablesDeathTest, UnknownWidthEndsTheProgram)
{
    BmVideo video;
    EXPECT_DEATH(video.SetConfigBeforeStart(Front, 1234, 1440, 300, H265), "");
}

} // namespace
