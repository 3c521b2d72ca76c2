// The C glue to the media platform: its attribute tables, rate-control
// mapping, encoded units and display channels, against the host's platform.

#include "mpp_comm/mpp_comm_sys.h"
#include "mpp_comm/mpp_comm_venc.h"
#include "mpp_comm/mpp_comm_vi.h"
#include "mpp_comm/mpp_comm_vo.h"
#include "mpp_comm/soc_vo.h"
#include "host/soc/Vo.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

// A channel of its own (layer 0 of its group), its rectangle moved and
// resized, and a clock channel bound to it.
TEST(Glue, DisplayChannelsAndClocks)
{
    ASSERT_EQ(mpp_comm_sys_init(), 0);
    VO_DEV_CFG_S dev = {320, 480};
    ASSERT_EQ(mpp_comm_vo_dev_create(VO_TYPE_LCD, &dev), 0);
    VO_CHN_CFG_S cfg = {0, 0, 320, 240, 2};
    ASSERT_EQ(mpp_comm_vo_chn_create(2, &cfg), 0);
    EXPECT_EQ(mpp_comm_vo_chn_create(2, &cfg), -1) << "enabled already";
    EXPECT_EQ(mpp_comm_vo_chn_start(2), 0);
    EXPECT_EQ(mpp_comm_vo_chn_stop(2), 0);
    EXPECT_EQ(mpp_comm_vo_chn_layer_move_y(2, 0, 100), 0);
    EXPECT_EQ(mpp_comm_vo_chn_layer_height(2, 0, 120), 0);
    VO_VIDEO_LAYER_ATTR_S attr{};
    ASSERT_EQ(SOC_MPI_VO_GetVideoLayerAttr(2 * 4, &attr), 0);
    EXPECT_EQ(attr.mDispRect.mX, 0);
    EXPECT_EQ(attr.mDispRect.mY, 100);
    EXPECT_EQ(attr.mDispRect.mWidth, 320u);
    EXPECT_EQ(attr.mDispRect.mHeight, 120u);
    for (int chn : {-1, 4}) {
        EXPECT_EQ(mpp_comm_vo_chn_start(chn), -1) << chn;
        EXPECT_EQ(mpp_comm_vo_chn_layer_move_y(chn, 0, 1), -1) << chn;
        EXPECT_EQ(mpp_comm_vo_bind_clock(0, chn), -1) << chn;
    }

    ASSERT_EQ(mpp_comm_vo_clock_create(0), 0);
    EXPECT_EQ(mpp_comm_vo_clock_create(0), -1) << "exists";
    EXPECT_EQ(mpp_comm_vo_bind_clock(0, 2), 0);
    EXPECT_EQ(mpp_comm_vo_unbind_clock(0, 2), 0);
    EXPECT_EQ(mpp_comm_vo_bind_clock_layer(0, 2, 1), 0);
    EXPECT_EQ(mpp_comm_vo_unbind_clock_layer(0, 2, 1), 0);
    EXPECT_EQ(mpp_comm_vo_clock_destroy(0), 0);
    EXPECT_EQ(mpp_comm_vo_clock_destroy(0), -1) << "gone";
    EXPECT_EQ(mpp_comm_vo_get_attr(), 0);

    // Routine events pass in silence; any other is a red line.
    for (int event : {1, 257, 258, 5}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(soc::VoRaiseEvent(2 * 4, 2, event));
        std::string line = testing::internal::GetCapturedStdout();
        if (event == 5)
            EXPECT_NE(line.find("ERROR!"), std::string::npos) << line;
        else
            EXPECT_EQ(line, "") << event;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(SetPriority(), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(" layer=11,  x="), std::string::npos);
    ASSERT_EQ(SOC_MPI_VO_GetVideoLayerAttr(11, &attr), 0);
    EXPECT_EQ(attr.mDispRect.mWidth, 480u);
    EXPECT_EQ(attr.mDispRect.mHeight, 360u);
    EXPECT_EQ(mpp_comm_vo_chn_destroy(2), 0);
    EXPECT_EQ(mpp_comm_vo_dev_destroy(VO_TYPE_LCD), 0);
}

TEST(Glue, CaptureSets)
{
    const struct {
        MPP_COM_VI_TYPE_E type;
        uint32_t width, height, fps, nbufs;
    } cases[] = {
        {VI_VGA_30FPS, 640, 480, 30, 10},   {VI_720P_25FPS, 1280, 720, 25, 10}, {VI_1080P_30FPS, 1920, 1080, 30, 10},
        {VI_2K_30FPS, 2560, 1440, 30, 10},  {VI_SHD_30FPS, 2304, 1296, 30, 10}, {VI_4K_25FPS, 3840, 2160, 25, 10},
        {VI_640x360, 640, 360, 30, 10},     {VI_540P_30FPS, 960, 544, 30, 5},   {VI_320x240, 420, 240, 30, 5},
        {VI_800x450, 800, 450, 30, 10},
    };
    for (const auto& c : cases) {
        socVI_ATTR_S attr;
        ASSERT_EQ(mpp_comm_vi_get_attr(c.type, &attr), 0) << c.type;
        EXPECT_EQ(attr.format.width, c.width) << c.type;
        EXPECT_EQ(attr.format.height, c.height) << c.type;
        EXPECT_EQ(attr.fps, c.fps) << c.type;
        EXPECT_EQ(attr.nbufs, c.nbufs) << c.type;
        EXPECT_EQ(attr.type, 9u);
        EXPECT_EQ(attr.memtype, 1u);
        EXPECT_EQ(attr.format.pixelformat, SOC_VI_FOURCC('N', 'M', '2', '1'));
        EXPECT_EQ(attr.format.field, 1u);
        EXPECT_EQ(attr.nplanes, 2u);
        EXPECT_EQ(attr.capturemode, 2u);
        EXPECT_EQ(attr.wdr_mode, 0u);
    }
    socVI_ATTR_S attr;
    EXPECT_EQ(mpp_comm_vi_get_attr(VI_TYPE_BOTTON, &attr), -1);
    EXPECT_EQ(mpp_comm_vi_get_attr(VI_VGA_30FPS, nullptr), -1);
    EXPECT_EQ(mpp_comm_vi_dev_create(101, &attr), -1);
    EXPECT_EQ(mpp_comm_vi_chn_create(0, -1), -1);
}

TEST(Glue, EncoderConfigurations)
{
    const struct {
        VENC_CFG_TYPE_E type;
        VENC_CFG_S cfg;
    } cases[] = {
        {VENC_720P_TO_720P_4M_30FPS, {1280, 720, 1280, 720, 27, 27, 3700000, 27, 40, 10, 1, VIDEO_FIELD_FRAME,
                                      MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_1080P_TO_1080P_8M_30FPS, {1920, 1080, 1920, 1080, 30, 30, 5000000, 30, 51, 1, 1, VIDEO_FIELD_FRAME,
                                        MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_SHD_TO_SHD_13M_30FPS, {2304, 1296, 2304, 1296, 27, 27, 12000000, 27, 40, 10, 1, VIDEO_FIELD_FRAME,
                                     MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_2K_TO_2K_16M_30FPS, {2560, 1440, 2560, 1440, 28, 28, 10000000, 30, 51, 1, 1, VIDEO_FIELD_FRAME,
                                   MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_4K_TO_4K_20M_30FPS, {3840, 2160, 3840, 2160, 27, 27, 18300000, 27, 40, 10, 1, VIDEO_FIELD_FRAME,
                                   MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_3840x1920_TO_3840x1920_8M_15FPS, {3840, 1920, 3840, 1920, 25, 15, 8000000, 15, 40, 10, 1,
                                                VIDEO_FIELD_FRAME, MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_540P_TO_360P_1M_30FPS, {960, 540, 640, 360, 30, 30, 500000, 30, 40, 10, 1, VIDEO_FIELD_FRAME,
                                      MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
        {VENC_2K_TO_720P_30FPS, {2560, 1440, 1440, 720, 27, 27, 4000000, 30, 51, 1, 1, VIDEO_FIELD_FRAME,
                                 MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420}},
    };
    for (const auto& c : cases) {
        VENC_CFG_S cfg;
        ASSERT_EQ(mpp_comm_venc_get_cfg(c.type, &cfg), 0) << c.type;
        EXPECT_EQ(memcmp(&cfg, &c.cfg, sizeof(cfg)), 0) << c.type;
    }
    VENC_CFG_S cfg;
    EXPECT_EQ(mpp_comm_venc_get_cfg(VENC_CFG_BOTTON, &cfg), -1);
    EXPECT_EQ(mpp_comm_venc_get_cfg(VENC_VGA_TO_VGA_1M_30FPS, nullptr), -1);
}

TEST(Glue, RateControlModes)
{
    const struct {
        int payload;
        int mode;
        int result;
        VENC_RC_MODE_E rc;
    } cases[] = {
        {96, 0, 0, VENC_RC_MODE_H264CBR},      {96, 1, 0, VENC_RC_MODE_H264VBR},
        {96, 2, 0, VENC_RC_MODE_H264FIXQP},    {96, 3, 0, VENC_RC_MODE_H264ABR},
        {265, 0, 0, VENC_RC_MODE_H265CBR},     {265, 1, 0, VENC_RC_MODE_H265VBR},
        {265, 2, 0, VENC_RC_MODE_H265FIXQP},   {265, 3, -1, VENC_RC_MODE_BUTT},
        {1002, 0, 0, VENC_RC_MODE_MJPEGCBR},   {1002, 3, 0, VENC_RC_MODE_MJPEGABR},
        {96, 4, -1, VENC_RC_MODE_BUTT},
    };
    for (const auto& c : cases) {
        VENC_RC_MODE_E rc = VENC_RC_MODE_H264CBR;
        EXPECT_EQ(venc_get_rc_enum(c.payload, c.mode, &rc), c.result) << c.payload << "/" << c.mode;
        EXPECT_EQ(rc, c.rc) << c.payload << "/" << c.mode;
    }
    VENC_RC_MODE_E untouched = VENC_RC_MODE_H265VBR;
    EXPECT_EQ(venc_get_rc_enum(26, 1, &untouched), 0);
    EXPECT_EQ(untouched, VENC_RC_MODE_H265VBR) << "JPEG leaves the mode unset";
    EXPECT_EQ(venc_get_rc_enum(7, 0, &untouched), -1);
    EXPECT_EQ(venc_get_rc_enum(96, 0, nullptr), -1);
}

// The NAL unit type of the first unit after a start code.
int FirstNalType(const char* bytes, int length, bool h265)
{
    for (int i = 0; i + 4 < length; i++) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
            auto header = static_cast<uint8_t>(bytes[i + 3]);
            return h265 ? (header >> 1) & 0x3F : header & 0x1F;
        }
    }
    return -1;
}

struct EncoderCase {
    int payload;
    VENC_CFG_TYPE_E cfg;
    uint32_t width; // of the pictures sent
    uint32_t height;
    int parameterSetType; // the first NAL of a key unit
    int sliceTypeBelow;   // every P unit starts with a NAL type below this
};

class GlueEncoder : public testing::TestWithParam<EncoderCase> {};

TEST_P(GlueEncoder, KeyUnitsCarryTheParameterSets)
{
    const EncoderCase& c = GetParam();
    const bool h265 = c.payload == PT_H265;
    ASSERT_EQ(mpp_comm_sys_init(), 0);
    const int chn = 5;
    VENC_CFG_S cfg;
    ASSERT_EQ(mpp_comm_venc_get_cfg(c.cfg, &cfg), 0);
    ASSERT_EQ(mpp_comm_venc_create(chn, c.payload, 0, 2, 0, &cfg), 0);
    EXPECT_EQ(mpp_comm_venc_create(chn, c.payload, 0, 2, 0, &cfg), -1) << "the channel exists";
    ASSERT_EQ(SOC_MPI_VENC_StartRecvPic(chn), 0);

    std::vector<uint8_t> picture(c.width * c.height * 3 / 2, 128);
    VIDEO_FRAME_INFO_S frame{};
    frame.VFrame.mWidth = c.width;
    frame.VFrame.mHeight = c.height;
    frame.VFrame.mpVirAddr[0] = picture.data();
    frame.VFrame.mpVirAddr[1] = picture.data() + c.width * c.height;
    frame.VFrame.mStride[0] = frame.VFrame.mStride[1] = c.width;
    for (int i = 0; i < 2; i++) {
        frame.VFrame.mpts = 1000000 + 33333 * i;
        ASSERT_EQ(SOC_MPI_VENC_SendFrame(chn, &frame, 1000), 0);
    }

    char* buf = nullptr;
    int len = 0;
    uint64_t pts = 0;
    int key = -1;
    // A software encoder on a loaded machine: the wait only bounds a hang.
    const int kEncodeWaitMs = 60000;
    ASSERT_EQ(mpp_comm_venc_get_stream_to_new_buffer(chn, c.payload, kEncodeWaitMs, &buf, &len, &pts, &key), 0);
    EXPECT_EQ(key, 1);
    EXPECT_EQ(pts, 1000000u);
    EXPECT_EQ(FirstNalType(buf, len, h265), c.parameterSetType) << "parameter sets lead a key unit";
    g_free(buf);
    ASSERT_EQ(mpp_comm_venc_get_stream_to_new_buffer(chn, c.payload, kEncodeWaitMs, &buf, &len, &pts, &key), 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(pts, 1033333u);
    EXPECT_LT(FirstNalType(buf, len, h265), c.sliceTypeBelow) << "a P unit starts with its slice";
    g_free(buf);

    EXPECT_NE(mpp_comm_venc_get_stream_to_new_buffer(chn, c.payload, 10, &buf, &len, &pts, &key), 0);
    EXPECT_EQ(mpp_comm_venc_get_stream_to_new_buffer(16, c.payload, 10, &buf, &len, &pts, &key), -1);
    SOC_MPI_VENC_StopRecvPic(chn);
    EXPECT_NE(SOC_MPI_VENC_SendFrame(chn, &frame, 10), 0) << "not receiving";
    EXPECT_EQ(mpp_comm_venc_destroy(chn), 0);
}

// The recording encoder, and the live-stream encoder fed the front's 960 × 544 pictures.
INSTANTIATE_TEST_SUITE_P(Codecs, GlueEncoder,
                         testing::Values(EncoderCase{PT_H265, VENC_360P_TO_360P_1M_30FPS, 640, 360, 32, 32},
                                         EncoderCase{PT_H264, VENC_540P_TO_360P_1M_30FPS, 960, 544, 7, 6}));

} // namespace
