// A camera's display output: the LCD device and the camera's display
// channel, and the display task that takes the small stream-1 frames, turns
// them by 90° for the portrait panel with the 2D engine, feeds every second
// one to the live-stream encoder and offers every second one to driver
// assistance.

#include "bmworks/BmClock.h"
#include "bmworks/BmLog.h"
#include "bmworks/BmVideo.h"
#include "bmworks/bmworks.h"
#include "mpp_comm/mpp_comm_vo.h"
#include "mpp_comm/soc_vi.h"
#include "mpp_comm/soc_vo.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

std::atomic<bool> BmVideo::mIsVisible{false};

namespace {

int videoOutErrCnt = 0;
std::mutex videoMutex; // the copy-frame buffer, between the engine and its reader

constexpr int kLcdWidth = 320;
constexpr int kCompositeWidth = 720;
constexpr int kDeviceHeight = 480;

// The picture handed to driver assistance: 960 x 540 NV21 below the two top
// lines of the 960 x 544 capture.
constexpr int kFsadasWidth = 960;
constexpr int kFsadasHeight = 540;
constexpr int kFsadasSkipLines = 2;

// One hand-off for the whole engine. The frame is copied under the lock,
// because the capture refills its buffer once the display task returns it,
// while the analysis may still be reading. Kept for the program's life: the
// frame thread still waits on it while the program ends.
struct FsadasHandOff {
    std::mutex mutex;
    std::condition_variable cond;
    bool frameReady = false;
    std::vector<uint8_t> frame = std::vector<uint8_t>(kFsadasWidth * kFsadasHeight * 3 / 2);
};

FsadasHandOff& Fsadas()
{
    static FsadasHandOff* handOff = new FsadasHandOff();
    return *handOff;
}

void CopyLines(uint8_t* out, const void* plane, uint32_t stride, int firstLine, int lines)
{
    const auto* in = static_cast<const uint8_t*>(plane) + static_cast<size_t>(firstLine) * stride;
    for (int line = 0; line < lines; line++)
        std::memcpy(out + static_cast<size_t>(line) * kFsadasWidth, in + static_cast<size_t>(line) * stride,
                    kFsadasWidth);
}

} // namespace

BmVideo::~BmVideo()
{
    StopFsadasThread();
}

void BmVideo::StopFsadasThread()
{
    if (!_t.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(Fsadas().mutex);
        mFsadasStop = true;
    }
    Fsadas().cond.notify_all();
    _t.join();
}

int BmVideo::CreateVideoOut()
{
    bool factory = BmWorks::Inst()->mFactoryMode;
    int type = factory ? VO_TYPE_CVBS : VO_TYPE_LCD;
    int width = factory ? kCompositeWidth : kLcdWidth;
    int ret = 0;
    if (mCameraPosition == Front) {
        VO_DEV_CFG_S dev = {width, kDeviceHeight};
        if ((ret = mpp_comm_vo_dev_create(type, &dev)) != 0) {
            MPP_COMM_ERR("Do mpp_comm_vo_dev_create fail! ret:%d  vo_type:%d", ret, type);
            return -1;
        }
    }
    // The channel rectangles stay with the channels: the front camera's is
    // the whole device, the rear's the quarter at the far corner.
    VO_CHN_CFG_S cfg = {0, 0, width, kDeviceHeight, 0};
    if (mCameraPosition == Rear)
        cfg = {kDeviceHeight / 2, width / 2, width / 2, kDeviceHeight / 2, 0};
    int channel = static_cast<int>(mCameraPosition);
    if ((ret = mpp_comm_vo_chn_layer_create(channel, &cfg, mVideoOutLayerId, mVideoOutPriority, 255)) != 0) {
        MPP_COMM_ERR("Do mpp_comm_vo_chn_create fail! ret:%d  vo_chn:%d", ret, channel);
        return -1;
    }
    if (!mBmDma.IsInited())
        mBmDma.Init(mBmDmaWidth, mBmDmaHeight, BmDma::PF_YUV420);
    return 0;
}

void BmVideo::DestroyVideoOut()
{
    int channel = static_cast<int>(mCameraPosition);
    int ret = mpp_comm_vo_chn_layer_destroy(channel, mVideoOutLayerId);
    if (ret != 0)
        MPP_COMM_ERR("Do mpp_comm_vo_chn_destroy fail! ret:%d  vo_chn:%d", ret, channel);
    if (mCameraPosition != Front)
        return;
    int type = BmWorks::Inst()->mFactoryMode ? VO_TYPE_CVBS : VO_TYPE_LCD;
    if ((ret = mpp_comm_vo_dev_destroy(type)) != 0)
        MPP_COMM_ERR("Do mpp_comm_vo_dev_destroy fail! ret:%d  vo_type:%d", ret, type);
}

int BmVideo::RunVideoOut()
{
    if (IsRunVideoOut())
        return -1;
    mpp_comm_vo_chn_layer_start(mVideoOutChannelId, mVideoOutLayerId);
    if (!IsRunVideoIn(1))
        RunVideoIn(1);
    mRunFlag |= RunOutput;
    return 1;
}

// The channel keeps showing its last picture until it is hidden.
void BmVideo::PauseVideoOut()
{
    mRunFlag &= ~RunOutput;
    if (!IsRunVideoEnc())
        PauseVideoIn(0);
    if (!(mRunFlag & (RunLive | RunCopy | RunAssist)))
        PauseVideoIn(1);
}

void BmVideo::SetVisibleLayer(int channel, int layer, bool visible)
{
    mpp_comm_vo_chn_layer_visible(channel, layer, visible ? 1 : 0);
}

void BmVideo::SetVisible(bool visible)
{
    mIsVisible = visible;
    VideoOutConfig config = BmWorks::Inst()->mVocConfig;
    bool both = config == VocFrontRear || config == VocRearFront;
    SetVisibleLayer(0, 0, visible);
    SetVisibleLayer(1, 0, visible && both);
}

gboolean BmVideo::gVideoOutTask(gpointer data)
{
    return static_cast<BmVideo*>(data)->VideoOutTask();
}

int BmVideo::VideoOutTask()
{
    if (BmWorks::Inst()->mAutoSplit) {
        mVideoOutTaskId = 0;
        return 0;
    }
    if (!(mRunFlag & (RunOutput | RunLive | RunCopy | RunAssist)))
        return 1;
    VIDEO_FRAME_INFO_S frame;
    if (SOC_MPI_VI_GetFrame(mVideoInDevId[1], mVideoInChannelId[1], &frame, 1) != 0)
        return 1;
    frame.VFrame.mField = VIDEO_FIELD_FRAME;
    frame.VFrame.mOffsetTop = 0;
    frame.VFrame.mOffsetLeft = 0;
    frame.VFrame.mVideoFormat = 0;
    frame.VFrame.mCompressMode = 0;
    frame.VFrame.mpts = mPtsVo;
    mPtsVo += mFormat.fps10 != 0 ? 10000000 / mFormat.fps10 : 0;
    SendLiveFrame(frame);
    if (IsRunVideoOut())
        ShowFrame(frame);
    if (IsRunDsm())
        CopyFrame(frame);
    if (FsadasCallback != nullptr)
        OfferFsadasFrame(frame);
    if (SOC_MPI_VI_ReleaseFrame(mVideoInDevId[1], mVideoInChannelId[1], &frame) != 0)
        MPP_COMM_ERR("Do SOC_MPI_VI_ReleaseFrame() fail! VideoInId=%d, VideoInChannelId=%d", mVideoInDevId[1],
                     mVideoInChannelId[1]);
    return 1;
}

// Every second captured frame: 30 captured frames a second give 15 live ones.
void BmVideo::SendLiveFrame(VIDEO_FRAME_INFO_S& frame)
{
    if (mRtspEncoderCount % 2 == 1 && IsRunRtsp()) {
        uint64_t pts = frame.VFrame.mpts;
        frame.VFrame.mpts = BmClock::Inst()->Usec();
        int ret = SOC_MPI_VENC_SendFrame(mVideoEncoderRtspId, &frame, 10);
        if (ret != 0)
            MPP_COMM_ERR("Do SOC_MPI_VENC_SendFrame() fail! ret:0x%x VideoEncoderId=%d", ret, mVideoEncoderRtspId);
        frame.VFrame.mpts = pts;
    }
    mRtspEncoderCount++;
}

// The turned picture goes to the 2D engine's current buffer, which the
// display may go on showing while the next frame is turned into the other.
void BmVideo::ShowFrame(const VIDEO_FRAME_INFO_S& frame)
{
    VIDEO_FRAME_INFO_S out = frame;
    if (!BmWorks::Inst()->mFactoryMode) {
        VIDEO_FRAME_S& v = out.VFrame;
        std::swap(v.mWidth, v.mHeight);
        for (int plane = 0; plane < 2; plane++) {
            v.mPhyAddr[plane] = mBmDma.GetPhyAddr(plane);
            v.mpVirAddr[plane] = reinterpret_cast<void*>(mBmDma.GetVirAddr(plane));
            v.mStride[plane] = v.mWidth;
        }
        v.mOffsetTop = v.mOffsetLeft = 0;
        v.mOffsetBottom = static_cast<int16_t>(v.mHeight - 1);
        v.mOffsetRight = static_cast<int16_t>(v.mWidth - 1);
        mBmDma.Blit90(frame.VFrame.mPhyAddr[0], frame.VFrame.mPhyAddr[1]);
    }
    int layer = 4 * mVideoOutChannelId + mVideoOutLayerId;
    int ret = SOC_MPI_VO_SendFrame(layer, mVideoOutChannelId, &out, 10);
    if (ret != 0) {
        videoOutErrCnt++;
        MPP_COMM_ERR("Do SOC_MPI_VO_SendFrame() fail! ret=0x%x, cam=%d, VideoOutChannelId=%d, VideoOutLayerId=%d, "
                     "total_error_count=%d",
                     ret, mCameraPosition, mVideoOutChannelId, mVideoOutLayerId, videoOutErrCnt);
    }
}

// Every second frame is offered; the engine thread never waits: while the
// analysis of the previous frame holds the lock, the frame is dropped.
void BmVideo::OfferFsadasFrame(const VIDEO_FRAME_INFO_S& frame)
{
    const VIDEO_FRAME_S& v = frame.VFrame;
    if (mFsadasFrameSkipFlag && v.mWidth == kFsadasWidth && v.mHeight >= kFsadasHeight + kFsadasSkipLines) {
        FsadasHandOff& h = Fsadas();
        std::unique_lock<std::mutex> lock(h.mutex, std::try_to_lock);
        if (lock.owns_lock()) {
            uint8_t* y = h.frame.data();
            uint8_t* vu = y + kFsadasWidth * kFsadasHeight;
            CopyLines(y, v.mpVirAddr[0], v.mStride[0], kFsadasSkipLines, kFsadasHeight);
            CopyLines(vu, v.mpVirAddr[1], v.mStride[1], kFsadasSkipLines / 2, kFsadasHeight / 2);
            pFsadasY = y;
            pFsadasUV = vu;
            h.frameReady = true;
            h.cond.notify_one();
        }
    }
    mFsadasFrameSkipFlag = !mFsadasFrameSkipFlag;
}

// Every third frame. The buffer is made for the first frame copied, at its
// size, and is what the reader's pointer names.
void BmVideo::CopyFrame(const VIDEO_FRAME_INFO_S& frame)
{
    if (mDsmFrameSkipCount++ % 3 != 0)
        return;
    const VIDEO_FRAME_S& v = frame.VFrame;
    std::lock_guard<std::mutex> lock(videoMutex);
    if (!mDsmBuffer.IsInited()) {
        mDsmBuffer.Init(static_cast<int>(v.mWidth), static_cast<int>(v.mHeight));
        pDsmBuff = mDsmBuffer.GetPtr();
    }
    mDsmBuffer.Blit(v.mPhyAddr[0], v.mPhyAddr[1]);
    mDsmFrameWidth = static_cast<int32_t>(v.mWidth);
    mDsmFrameHeight = static_cast<int32_t>(v.mHeight);
    mDsmBufferCounter++;
}

void BmVideo::CopyDsmBuff(char* out)
{
    std::lock_guard<std::mutex> lock(videoMutex);
    if (char* buffer = pDsmBuff)
        std::memcpy(out, buffer, static_cast<size_t>(mDsmFrameWidth) * mDsmFrameHeight);
}

void BmVideo::FsadasThread()
{
    if (_t.joinable())
        return;
    mFsadasStop = false;
    _t = std::thread([this] { FsadasLoop(); });
}

// The callback runs with the lock held, which is what makes the display
// task drop frames while it is busy.
void BmVideo::FsadasLoop()
{
    FsadasHandOff& h = Fsadas();
    std::unique_lock<std::mutex> lock(h.mutex);
    for (;;) {
        h.cond.wait(lock, [&] { return h.frameReady || mFsadasStop; });
        if (mFsadasStop)
            return;
        h.frameReady = false;
        if (FsadasCallback != nullptr)
            FsadasCallback(0, pFsadasY, pFsadasUV, kFsadasWidth, kFsadasHeight);
    }
}
