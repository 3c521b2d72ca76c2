// Set-up of a camera's video path: device and channel numbers, capture and
// encoder configuration by picture size, and creation of the platform objects.

#include "bmworks/BmVideo.h"

#include "bmworks/BmClock.h"
#include "bmworks/BmLog.h"
#include "bmworks/bmworks.h"
#include "mpp_comm/soc_isp.h"
#include "mpp_comm/soc_vi.h"

namespace {

// Device, channel and encoder numbers of each camera.
struct CameraParams {
    int viDev[2];
    int viChn[2];
    int venc;
    int vencRtsp;
    int voChn;
    int voLayer;
    int voClock;
    int voPriority;
    MPP_COM_VI_TYPE_E stream1Type;
    VENC_CFG_TYPE_E rtspCfg;
};

const CameraParams kCameraParams[MaxCam] = {
    {{0, 1}, {0, 1}, 0, 2, 0, 0, 0, 0, VI_540P_30FPS, VENC_540P_TO_360P_1M_30FPS}, // Front
    {{2, 3}, {0, 1}, 1, 3, 1, 0, 1, 2, VI_640x360, VENC_540P_TO_360P_1M_30FPS},    // Rear
};

// Stream-0 capture and recording encoder by picture width.
struct SizeParams {
    int width;
    MPP_COM_VI_TYPE_E viType;
    VENC_CFG_TYPE_E vencCfg;
};

const SizeParams kSizeParams[] = {
    {1280, VI_720P_30FPS, VENC_720P_TO_720P_4M_30FPS},
    {1920, VI_1080P_30FPS, VENC_1080P_TO_1080P_8M_30FPS},
    {2304, VI_SHD_30FPS, VENC_SHD_TO_SHD_13M_30FPS},
    {2560, VI_2K_30FPS, VENC_2K_TO_2K_16M_30FPS},
    {3840, VI_4K_30FPS, VENC_4K_TO_4K_20M_30FPS},
};

// The front capture runs at the recording rate where the sensor offers it,
// and at 27 fps for the reduced rates.
uint32_t FrontCaptureFps(DynamicFps fps)
{
    switch (fps) {
    case F25:
    case F29:
    case F30:
    case F60:
        return fps;
    case F6:
        return 30;
    default:
        return 27;
    }
}

} // namespace

BmVideo::BmVideo() = default;

const char* BmVideo::CameraName() const
{
    return BmWorks::CameraPositionName[mCameraPosition];
}

int BmVideo::Init()
{
    pGTimerPts = g_timer_new();
    return 0;
}

void BmVideo::SetConfigBeforeStart(CameraPosition camera, int width, int height, int fps10, VideoCodec codec)
{
    mCameraPosition = camera;
    mFormat.width = width;
    mFormat.height = height;
    mFormat.fps10 = fps10;
    mFormat.codec = codec;
    SetInitParams();
    if (camera == Front)
        FsadasThread();
}

void BmVideo::SetInitParams()
{
    const CameraParams& p = kCameraParams[mCameraPosition];
    for (int stream = 0; stream < 2; stream++) {
        mVideoInDevId[stream] = p.viDev[stream];
        mVideoInChannelId[stream] = p.viChn[stream];
    }
    mVideoEncoderId = p.venc;
    mVideoEncoderRtspId = p.vencRtsp;
    mVideoOutChannelId = p.voChn;
    mVideoOutLayerId = p.voLayer;
    mVideoOutClockId = p.voClock;
    mVideoOutPriority = p.voPriority;
    mVideoInputConfigType[1] = p.stream1Type;
    mVideoEncoderRtspConfigType = p.rtspCfg;
    for (const SizeParams& s : kSizeParams) {
        if (s.width == mFormat.width) {
            mVideoInputConfigType[0] = s.viType;
            mVideoEncoderConfigType = s.vencCfg;
            return;
        }
    }
    g_assert(0);
}

int BmVideo::Start()
{
    mVideoEncoderTaskId = mVideoOutTaskId = mVideoBufferTaskId = 0;
    mVideoBufferDeleteTaskId = mVideoBufferReportTaskId = 0;
    mRunFlag = 0;
    mPtsVo = 0;
    mPtsEnc = static_cast<uint64_t>(-1000000000LL);
    SetVideoEncTable(mDynamicFps);
    const char* failed = nullptr;
    if (CreateVideoEncoder() != 0)
        failed = "Do CreateVideoEncoder() fail!";
    else if (CreateVideoIn() != 0)
        failed = "Do CreateVideoIn() fail!";
    else if (CreateVideoOut() != 0)
        failed = "Do CreateVideoOut() fail!";
    if (failed != nullptr) {
        MPP_COMM_ERR("%s", failed);
        MPP_COMM_ERR("Do CreateMppVideo() fail!");
        return -1;
    }
    printf("CreateMppVideo().................\n");
    mBmMod.Init(mCameraPosition);
    if (mVideoEncoderTaskId == 0)
        mVideoEncoderTaskId = g_idle_add(gVideoEncoderTask, this);
    if (mVideoOutTaskId == 0)
        mVideoOutTaskId = g_idle_add(gVideoOutTask, this);
    if (mVideoBufferTaskId == 0)
        mVideoBufferTaskId = g_idle_add(gVideoBufferTask, this);
    if (mVideoBufferDeleteTaskId == 0)
        mVideoBufferDeleteTaskId = g_timeout_add(1000, gVideoBufferDeleteTask, this);
    if (mVideoBufferReportTaskId == 0)
        mVideoBufferReportTaskId = g_timeout_add(600000, gVideoBufferReportTask, this);
    return 0;
}

void BmVideo::Stop()
{
    PauseVideoEnc();
    for (guint* id : {&mVideoEncoderTaskId, &mVideoOutTaskId, &mVideoBufferTaskId, &mVideoBufferDeleteTaskId,
                      &mVideoBufferReportTaskId}) {
        if (*id != 0)
            g_source_remove(*id);
        *id = 0;
    }
    if (mpp_comm_venc_destroy(mVideoEncoderId) != 0)
        MPP_COMM_ERR("Do mpp_comm_venc_destroy() fail! VideoEncoderId=%d", mVideoEncoderId);
    DestroyVideoIn();
    DestroyVideoOut();
    mBmMod.Uninit();
}

int BmVideo::CreateVideoIn()
{
    bool front = mCameraPosition == Front;
    socVI_ATTR_S attr[2];
    for (int stream = 0; stream < 2; stream++) {
        if (mpp_comm_vi_get_attr(mVideoInputConfigType[stream], &attr[stream]) != 0) {
            MPP_COMM_ERR("Do mpp_comm_vi_get_attr() fail!");
            return -1;
        }
        attr[stream].fps = front ? FrontCaptureFps(mDynamicFps) : 30;
    }
    if (front)
        attr[0].wdr_mode = BmWorks::Inst()->GetHdr() ? 1 : 0;
    mCaptureFps = static_cast<int32_t>(attr[0].fps);
    // The front sensor is mounted upside down; the rear's small stream is a
    // mirror view when asked, its recording never.
    int ret = front ? mpp_comm_vi_dev_create_rotate_180(mVideoInDevId[0], &attr[0])
                    : mpp_comm_vi_dev_create(mVideoInDevId[0], &attr[0]);
    if (ret == 0) {
        ret = front ? mpp_comm_vi_dev_create_rotate_180(mVideoInDevId[1], &attr[1])
              : mMirror ? mpp_comm_vi_dev_create_mirror(mVideoInDevId[1], &attr[1])
                        : mpp_comm_vi_dev_create(mVideoInDevId[1], &attr[1]);
    }
    if (ret != 0) {
        MPP_COMM_ERR("Do mpp_comm_vi_dev_create() fail!");
        return -1;
    }
    mBmDmaWidth = static_cast<int32_t>(attr[1].format.width);
    mBmDmaHeight = static_cast<int32_t>(attr[1].format.height);
    if (front)
        StartIsp();
    for (int stream = 0; stream < 2; stream++) {
        if (mpp_comm_vi_chn_create(mVideoInDevId[stream], mVideoInChannelId[stream]) != 0) {
            MPP_COMM_ERR("Do mpp_comm_vi_chn_create() fail!");
            return -1;
        }
    }
    return 0;
}

void BmVideo::DestroyVideoIn()
{
    mRunFlag &= ~(RunInput0 | RunInput1);
    for (int stream = 0; stream < 2; stream++)
        mpp_comm_vi_chn_destroy(mVideoInDevId[stream], mVideoInChannelId[stream]);
    int isp = mCameraPosition == Front ? 0 : 1;
    int ret = SOC_MPI_ISP_Stop(isp);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_ISP_Stop(%d) fail! ret:%d ", isp, ret);
    if (mCameraPosition == Front && (ret = SOC_MPI_ISP_Exit()) != 0)
        MPP_COMM_ERR("Do SOC_MPI_ISP_Exit() fail! ret:%d ", ret);
    for (int stream = 0; stream < 2; stream++)
        mpp_comm_vi_dev_destroy(mVideoInDevId[stream]);
}

// The front image processor with its fixed modes: flicker 2, automatic
// exposure and white balance, ISO sensitivity mode 1 at 0.
int BmVideo::StartIsp()
{
    int ret = SOC_MPI_ISP_Init();
    if (ret == 0)
        ret = SOC_MPI_ISP_Run(0);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_ISP_Init/Run fail! ret:%d ", ret);
        return -1;
    }
    SOC_MPI_ISP_SetFlicker(0, 2);
    SOC_MPI_ISP_AE_SetMode(0, 0);
    SOC_MPI_ISP_AWB_SetMode(0, 0);
    SOC_MPI_ISP_AE_SetISOSensitiveMode(0, 1);
    SOC_MPI_ISP_AE_SetISOSensitive(0, 0);
    return 0;
}

void BmVideo::ResetIsp()
{
    if (mCameraPosition != Front)
        return;
    SOC_MPI_ISP_Stop(0);
    SOC_MPI_ISP_Exit();
    StartIsp();
}

int BmVideo::CreateVideoEncoder()
{
    VENC_CFG_S cfg;
    if (mpp_comm_venc_get_cfg(mVideoEncoderConfigType, &cfg) != 0) {
        MPP_COMM_ERR("Do mpp_comm_venc_get_cfg fail!");
        return -1;
    }
    cfg.src_fps = cfg.dst_fps = mDynamicFps;
    cfg.gop = mDynamicFps < 8 ? 8 : mDynamicFps;
    cfg.bitrate = static_cast<uint32_t>(CalcBitrate(27, 12000000));
    if (mpp_comm_venc_create(mVideoEncoderId, Payload(), 0, 2, 0, &cfg) != 0) {
        MPP_COMM_ERR("Do mpp_comm_venc_create fail!");
        return -1;
    }
    return 0;
}

// The live stream runs at half the capture rate: 15, or 14 for a front
// camera whose capture runs at 27 fps or so.
int BmVideo::CreateRtspEncoder()
{
    VENC_CFG_S cfg;
    if (mpp_comm_venc_get_cfg(mVideoEncoderRtspConfigType, &cfg) != 0) {
        MPP_COMM_ERR("Do mpp_comm_venc_get_cfg fail!");
        return -1;
    }
    cfg.src_fps = cfg.dst_fps = (mCameraPosition == Rear || mDynamicFps == F30) ? 15 : 14;
    cfg.gop = 16;
    if (mpp_comm_venc_create(mVideoEncoderRtspId, PT_H264, 0, 2, 0, &cfg) != 0) {
        MPP_COMM_ERR("Do mpp_comm_venc_create fail!");
        return -1;
    }
    return 0;
}

namespace {

// Picture sizes the bitrate rule knows, by height.
struct BitrateRow {
    int height;
    double pixels;
    double h265Factor;
};

const BitrateRow kBitrateRows[] = {
    {720, 921600, 0.8},
    {1080, 2073600, 0.8},
    {1296, 2985984, 0.75},
    {1440, 3686400, 0.7},
};

} // namespace

int BmVideo::CalcBitrate(int refFps, int baseBitrate)
{
    const BitrateRow* row = nullptr;
    for (const BitrateRow& r : kBitrateRows) {
        if (r.height == mFormat.height)
            row = &r;
    }
    if (row == nullptr) {
        BmPrintRule('E', 65);
        printf("             %s Unknown resolution = %d * %d\n", CameraName(), mFormat.width, mFormat.height);
        BmPrintRule('E', 65);
        return baseBitrate;
    }
    double s = row->pixels / 3686400.0;
    double f = static_cast<double>(mDynamicFps) / refFps;
    double rate = baseBitrate * s * f;
    if (mFormat.codec == H265)
        rate *= row->h265Factor;
    BmPrintRule('=', 61);
    printf("          %s Calculated bitrate = %d\n", CameraName(), static_cast<int>(rate));
    printf("          %d * %d, fps = %lf, s=%lf, f=%lf\n", mFormat.width, mFormat.height,
           static_cast<double>(mDynamicFps), s, f);
    BmPrintRule('=', 61);
    return static_cast<int>(rate);
}

int BmVideo::SetMirror(int value)
{
    int ret = SOC_MPI_VI_SetVippMirror(mVideoInDevId[1], value);
    if (ret != 0) {
        MPP_COMM_ERR("vi_dev:%d SetMirror failed! ret:%d ", mVideoInDevId[1], ret);
        return -1;
    }
    return 0;
}
