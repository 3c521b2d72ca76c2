// A camera's encoding at run time: the frame-reduction tables, the encoder
// and buffer tasks of the engine loop, starting and pausing the encoders and
// captures, and the run-time rate change.

#include "bmworks/BmClock.h"
#include "bmworks/BmLog.h"
#include "bmworks/BmOverlay.h"
#include "bmworks/BmVideo.h"
#include "bmworks/bmworks.h"
#include "mpp_comm/mpp_comm_vo.h"

namespace {

const int32_t gEncodingFrame6[5] = {1, 0, 0, 0, 0};

// 1000 twelve times, then 100 1000
const int32_t gEncodingFrame7[55] = {
    1, 0, 0, 0, 1,  0, 0, 0, 1, 0,  0, 0, 1, 0, 0,  0, 1, 0, 0, 0,
    1, 0, 0, 0, 1,  0, 0, 0, 1, 0,  0, 0, 1, 0, 0,  0, 1, 0, 0, 0,
    1, 0, 0, 0, 1,  0, 0, 0, 1, 0,  0, 1, 0, 0, 0,
};

const int32_t gEncodingFrame16[55] = {
    1, 1, 0, 1, 0,  1, 1, 0, 1, 0,  1, 0, 1, 0, 1,  1, 0, 1, 0, 1,
    1, 0, 1, 0, 1,  1, 0, 1, 0, 1,  1, 0, 1, 0, 1,  1, 0, 1, 0, 1,
    0, 1, 0, 1, 1,  0, 1, 0, 1, 1,  0, 1, 0, 1, 0,
};

const int32_t gEncodingFrame22[55] = {
    1, 1, 1, 1, 0,  1, 1, 1, 1, 0,  1, 1, 1, 1, 0,  1, 1, 1, 1, 0,
    1, 1, 1, 1, 0,  1, 1, 1, 1, 0,  1, 1, 1, 1, 0,  1, 1, 1, 1, 0,
    1, 1, 1, 1, 0,  1, 1, 1, 1, 0,  1, 1, 1, 1, 0,
};

const int32_t gEncodingFrameNone[55] = {
    1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,
    1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,
    1, 1, 1, 1, 1,  1, 1, 1, 1, 1,  1, 1, 1, 1, 1,
};

struct FpsTable {
    DynamicFps fps;
    BmFrameTable table;
};

const FpsTable kFpsTables[] = {
    {F6, {gEncodingFrame6, 5}},       {F7, {gEncodingFrame7, 55}},     {F16, {gEncodingFrame16, 55}},
    {F22, {gEncodingFrame22, 55}},    {F25, {gEncodingFrameNone, 55}}, {F27, {gEncodingFrameNone, 55}},
    {F29, {gEncodingFrameNone, 55}},  {F30, {gEncodingFrameNone, 55}}, {F60, {gEncodingFrameNone, 55}},
};

constexpr int kDriftWindow = 100;
constexpr int64_t kDriftLimitUsec = 200000;

} // namespace

void BmVideo::SetVideoEncTable(DynamicFps fps)
{
    for (const FpsTable& row : kFpsTables) {
        if (row.fps == fps)
            mEncodingFrameTable = row.table;
    }
    BmPrintRule('=', 58);
    printf("          %s BmVideo::SetVideoEncTable(%d)\n", CameraName(), fps);
    BmPrintRule('=', 58);
}

// The table travels with its own length, so that a rate stored ahead of the
// posted table change never indexes past the table in use.
bool BmVideo::TableSends(int32_t frameCount) const
{
    const BmFrameTable& t = mEncodingFrameTable;
    return t.entries != nullptr && t.entries[frameCount % t.length] != 0;
}

gboolean BmVideo::gVideoEncoderTask(gpointer data)
{
    return static_cast<BmVideo*>(data)->EncoderTask();
}

int BmVideo::EncoderTask()
{
    if (!IsRunVideoEnc() && !IsRunMotionDetect())
        return 1;
    BmWorks* works = BmWorks::Inst();
    VIDEO_FRAME_INFO_S frame;
    int timeoutMs = 10;
    if (!works->mAutoSplit) {
        if (!TakeCaptureFrame(frame))
            return 1;
    } else {
        int limit = works->mAutoSplitCommand == 1 ? 61 : 31;
        if (mLastFrameCount >= limit) {
            printf("############### %s Video Encoder Complete frame_count = %d, fps=%d\n", CameraName(),
                   mLastFrameCount, mDynamicFps);
            return 0;
        }
        // The last picture again, its time stamp's low bits marking a final frame.
        mPtsEnc += 1000000 / mCaptureFps;
        frame = last_video_frame;
        frame.VFrame.mpts = (mPtsEnc & ~3ULL) + works->mAutoSplitCommand;
        timeoutMs = 30;
        mLastFrameCount++;
    }
    // The recording goes on while a live stream runs: both encoders get frames.
    if (IsRunVideoEnc() && TableSends(mEncodingFrameCount)) {
        int ret = SOC_MPI_VENC_SendFrame(mVideoEncoderId, &frame, timeoutMs);
        if (ret != 0)
            MPP_COMM_ERR("Do SOC_MPI_VENC_SendFrame() fail! ret:0x%x VideoEncoderId=%d", ret, mVideoEncoderId);
    }
    if (IsRunMotionDetect())
        mBmMod.SendFrame(&frame, nullptr);
    mEncodingFrameCount++;
    return 1;
}

// Takes the next stream-0 frame and stamps it. It stays held as the last
// frame until the next one replaces it.
bool BmVideo::TakeCaptureFrame(VIDEO_FRAME_INFO_S& frame)
{
    if (SOC_MPI_VI_GetFrame(mVideoInDevId[0], mVideoInChannelId[0], &frame, 1) != 0)
        return false;
    mLastVITimeSec = BmClock::Inst()->Sec();
    frame.VFrame.mField = VIDEO_FIELD_FRAME;
    frame.VFrame.mOffsetTop = 0;
    frame.VFrame.mOffsetLeft = 0;
    frame.VFrame.mVideoFormat = 0;
    frame.VFrame.mCompressMode = 0;
    frame.VFrame.mpts = StampPts(BmClock::Inst()->Usec());
    ReleaseLastFrame();
    last_video_frame = frame;
    mLastFrameHeld = true;
    return true;
}

// Time stamps advance by the capture interval of the camera's actual rate,
// from the clock at the first frame; a drift of the clock from them over 100
// frames beyond ±200 ms is taken up at once.
uint64_t BmVideo::StampPts(uint64_t nowUsec)
{
    if (mEncodingFrameCount == 0) {
        mPtsEnc = nowUsec;
    } else {
        mPtsEnc += 1000000 / mCaptureFps + mPtsCorrect;
        mDiffs[mEncodingFrameCount % kDriftWindow] = static_cast<int64_t>(nowUsec - mPtsEnc);
        if (mEncodingFrameCount % kDriftWindow == 0) {
            int64_t sum = 0;
            for (int64_t d : mDiffs)
                sum += d;
            int64_t diffAvg = sum / kDriftWindow;
            if (diffAvg > kDriftLimitUsec || diffAvg < -kDriftLimitUsec) {
                mPtsEnc += diffAvg;
                printf(">>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>> %s: mPtsCorrect=%d, diffAvg=%lld \n", CameraName(), mPtsCorrect,
                       static_cast<long long>(diffAvg));
            }
        }
    }
    return mPtsEnc & ~3ULL;
}

void BmVideo::ReleaseLastFrame()
{
    if (!mLastFrameHeld)
        return;
    mLastFrameHeld = false;
    if (SOC_MPI_VI_ReleaseFrame(mVideoInDevId[0], mVideoInChannelId[0], &last_video_frame) != 0)
        MPP_COMM_ERR("Do SOC_MPI_VI_ReleaseFrame() fail! VideoInId=%d, VideoInChannelId=%d", mVideoInDevId[0],
                     mVideoInChannelId[0]);
}

gboolean BmVideo::gVideoBufferTask(gpointer data)
{
    auto* video = static_cast<BmVideo*>(data);
    video->TakeUnit(video->mVideoEncoderId, video->Payload(), video->mVideoBuffer);
    if (video->IsRunRtsp())
        video->TakeUnit(video->mVideoEncoderRtspId, PT_H264, video->mRtspBuffer);
    return 1;
}

void BmVideo::TakeUnit(int32_t encoderId, int payload, BmVideoBuffer& buffer)
{
    Nal nal;
    int keyFrame = 0;
    if (mpp_comm_venc_get_stream_to_new_buffer(encoderId, payload, 10, &nal.buffer, &nal.length, &nal.pts,
                                               &keyFrame) == 0 &&
        nal.length > 0) {
        nal.keyFrame = keyFrame;
        buffer.Add(nal);
    }
}

gboolean BmVideo::gVideoBufferDeleteTask(gpointer data)
{
    auto* video = static_cast<BmVideo*>(data);
    video->mVideoBuffer.DeleteOld();
    video->mRtspBuffer.DeleteOld();
    return 1;
}

gboolean BmVideo::gVideoBufferReportTask(gpointer data)
{
    auto* video = static_cast<BmVideo*>(data);
    video->mVideoBuffer.Report(video->CameraName());
    return 1;
}

int BmVideo::RunVideoEnc()
{
    if (IsRunVideoEnc())
        return -1;
    mEncodingFrameCount = 0;
    mLastVITimeSec = BmClock::Inst()->Sec();
    int ret = SOC_MPI_VENC_StartRecvPic(mVideoEncoderId);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VENC_StartRecvPic() fail! ret:%d VideoEncoderId=%d ", ret, mVideoEncoderId);
        return -1;
    }
    if (!IsRunVideoIn(0))
        RunVideoIn(0);
    BmOverlay::Inst()->Add(mCameraPosition, MOD_ID_VENC, 0, mVideoEncoderId, mFormat.width, mFormat.height);
    mRunFlag |= RunEncoder;
    return 0;
}

void BmVideo::PauseVideoEnc()
{
    mRunFlag &= ~RunEncoder;
    BmOverlay::Inst()->Remove(mCameraPosition);
    ReleaseLastFrame();
    PauseVideoIn(0);
    int ret = SOC_MPI_VENC_StopRecvPic(mVideoEncoderId);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VENC_StopRecvPic() fail! ret:%d VideoEncoderId=%d ", ret, mVideoEncoderId);
}

void BmVideo::RunVideoIn(int stream)
{
    int ret = SOC_MPI_VI_EnableVirChn(mVideoInDevId[stream], mVideoInChannelId[stream]);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VI_EnableVirChn() fail! ret:%d ", ret);
    mRunFlag |= stream == 0 ? RunInput0 : RunInput1;
}

void BmVideo::PauseVideoIn(int stream)
{
    mRunFlag &= ~(stream == 0 ? RunInput0 : RunInput1);
    int ret = SOC_MPI_VI_DisableVirChn(mVideoInDevId[stream], mVideoInChannelId[stream]);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VI_DisableVirChn() fail! ret:%d ", ret);
}

void BmVideo::RunRtsp()
{
    int ret = mpp_comm_vo_chn_layer_start(mVideoOutChannelId, mVideoOutLayerId);
    if (ret != 0) {
        MPP_COMM_ERR("Do mpp_comm_vo_chn_start() VideoOutChannelId:%d fail! ret:%d", mVideoOutChannelId, ret);
        return;
    }
    if (CreateRtspEncoder() != 0)
        return;
    ret = SOC_MPI_VENC_StartRecvPic(mVideoEncoderRtspId);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VENC_StartRecvPic() fail! ret:%d VideoEncoderId=%d ", ret, mVideoEncoderRtspId);
        return;
    }
    if (!IsRunVideoIn(1))
        RunVideoIn(1);
    mRunFlag |= RunLive;
}

void BmVideo::PauseRtsp()
{
    mRunFlag &= ~RunLive;
    // The live view shares the channel: stopping it under a running display
    // would blank the LCD when the phone's stream ends.
    if (!IsRunVideoOut()) {
        PauseVideoIn(1);
        int stopped = mpp_comm_vo_chn_layer_stop(mVideoOutChannelId, mVideoOutLayerId);
        if (stopped != 0)
            MPP_COMM_ERR("Do mpp_comm_vo_chn_stop vo_chn:%d fail! ret:%d", mVideoOutChannelId, stopped);
    }
    int ret = SOC_MPI_VENC_StopRecvPic(mVideoEncoderRtspId);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VENC_StopRecvPic() fail! ret:%d VideoEncoderId=%d ", ret, mVideoEncoderRtspId);
    mpp_comm_venc_destroy(mVideoEncoderRtspId);
}

int BmVideo::ChangeEncoderFps(int fps)
{
    bool running = IsRunVideoEnc();
    if (running)
        PauseVideoEnc();
    SetVideoEncTable(static_cast<DynamicFps>(fps));
    mVideoBuffer.DeleteOld();
    mpp_comm_venc_destroy(mVideoEncoderId);
    CreateVideoEncoder();
    if (running)
        RunVideoEnc();
    return 1;
}

int BmVideo::ReadStream(int (BmVideoBuffer::*get)(uint64_t&, Nal&) const, BmVideoBuffer& buffer, uint64_t& time,
                        Nal& unit, int timeoutMs)
{
    int ret = (buffer.*get)(time, unit);
    for (int retry = 0; ret != 0 && retry < timeoutMs / 10; retry++) {
        g_usleep(10000);
        ret = (buffer.*get)(time, unit);
    }
    return ret;
}

int BmVideo::ReadStreamOld(uint64_t& time, Nal& unit, int timeoutMs)
{
    return ReadStream(&BmVideoBuffer::GetOld, mVideoBuffer, time, unit, timeoutMs);
}

int BmVideo::ReadStreamRtsp(uint64_t& time, Nal& unit, int timeoutMs)
{
    return ReadStream(&BmVideoBuffer::GetOld, mRtspBuffer, time, unit, timeoutMs);
}

int BmVideo::ReadStreamNew(uint64_t& time, Nal& unit, int timeoutMs)
{
    return ReadStream(&BmVideoBuffer::GetNew, mVideoBuffer, time, unit, timeoutMs);
}
