#include "bmworks/BmPlayer.h"

#include "bmworks/BmClock.h"
#include "bmworks/BmLog.h"
#include "mpp_comm/mpp_comm_vdec.h"
#include "mpp_comm/mpp_comm_vo.h"
#include "mpp_comm/soc_vo.h"
#include "mpp_comm/soc_sys.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kSendTimeoutMs = 100;
constexpr int kImageTimeoutMs = 10;

gboolean gVideoDecoderTask(gpointer data)
{
    static_cast<BmPlayer*>(data)->ShowDecodedPicture();
    return G_SOURCE_CONTINUE;
}

int gVideoDecoderEvent(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData)
{
    (void)cookie;
    (void)pEventData;
    if (pChn == nullptr || pChn->mModId != MOD_ID_VDEC)
        return 0;
    if (event == SOC_VDEC_EVENT_END_OF_STREAM)
        printf("EVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEV..dec end\n");
    else
        printf("EVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEVEV..%d\n", event);
    return 0;
}

} // namespace

int BmPlayer::Init()
{
    mVideoDecoderTaskId = 0;
    return 0;
}

int BmPlayer::Start()
{
    int ret = CreateVideoDecoder();
    if (ret != 0) {
        MPP_COMM_ERR("Do CreateVideoDecoder() fail! ret:%d", ret);
        return -1;
    }
    ret = SOC_MPI_VDEC_StartRecvStream(mVideoDecoderId);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VDEC_StartRecvStream fail! vdec_chn:%d ret:%d", mVideoDecoderId, ret);
        return -1;
    }
    // The live view's display owns the channel; playback only makes sure it runs.
    ret = mpp_comm_vo_chn_layer_start(mVideoOutChannelId, mVideoOutLayerId);
    if (ret != 0) {
        MPP_COMM_ERR("Do mpp_comm_vo_chn_start() VideoOutChannelId:%d fail! ret:%d", mVideoOutChannelId, ret);
        return -1;
    }
    if (AllocVideoFrame() != 0 || AllocVideoDecoderFrame() != 0)
        return -1;
    if (mVideoDecoderTaskId == 0)
        mVideoDecoderTaskId = g_idle_add(gVideoDecoderTask, this);
    return 0;
}

void BmPlayer::Stop()
{
    if (mVideoDecoderTaskId != 0) {
        g_source_remove(mVideoDecoderTaskId);
        mVideoDecoderTaskId = 0;
    }
    int ret = SOC_MPI_VDEC_StopRecvStream(mVideoDecoderId);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VDEC_StopRecvStream fail! vdec_chn:%d ret:%d", mVideoDecoderId, ret);
    DestroyVideoDecoder();
    FreeVideoFrame();
    FreeVideoDecoderFrame();
}

int BmPlayer::CreateVideoDecoder()
{
    VDEC_CFG_S cfg;
    cfg.width = static_cast<uint32_t>(mFormat.width);
    cfg.height = static_cast<uint32_t>(mFormat.height);
    cfg.rotation = ROTATE_90;
    cfg.codec_type = mFormat.codec == H265 ? PT_H265 : PT_H264;
    int ret = mpp_comm_vdec_create(mVideoDecoderId, &cfg, nullptr);
    if (ret != 0) {
        MPP_COMM_ERR("Do mpp_comm_vdec_create fail!  vdec_chn:%d  ret:%d", mVideoDecoderId, ret);
        return -1;
    }
    SOC_CALLBACK_S callback = {this, gVideoDecoderEvent};
    SOC_MPI_VDEC_RegisterCallback(mVideoDecoderId, &callback);
    return 0;
}

void BmPlayer::DestroyVideoDecoder()
{
    if (mpp_comm_vdec_destroy(mVideoDecoderId) != 0)
        MPP_COMM_ERR("Do mpp_comm_vdec_destroy fail! vdec_chn:%d", mVideoDecoderId);
}

int BmPlayer::AllocVideoFrame()
{
    uint32_t width = static_cast<uint32_t>(mFormat.width);
    uint32_t height = static_cast<uint32_t>(mFormat.height);
    uint32_t lumaBytes = width * height;
    void* block = nullptr;
    int ret = SOC_MPI_SYS_MmzAlloc_Cached(&mPhysicalVoAddr, &block, lumaBytes * 3 / 2);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_MmzAlloc_Cached fail! size:%u ret:0x%x", lumaBytes * 3 / 2, ret);
        return -1;
    }
    pVirtualVoAddr = static_cast<uint8_t*>(block);
    std::memset(pVirtualVoAddr + lumaBytes, 128, lumaBytes / 2);
    VIDEO_FRAME_S& f = mVideoFrame.VFrame;
    f = VIDEO_FRAME_S{};
    f.mWidth = width;
    f.mHeight = height;
    f.mField = VIDEO_FIELD_FRAME;
    f.mPixelFormat = MM_PIXEL_FORMAT_YVU_PLANAR_420;
    for (int plane = 0; plane < 3; plane++) {
        uint32_t offset = plane == 0 ? 0 : lumaBytes + (plane - 1) * lumaBytes / 4;
        f.mPhyAddr[plane] = mPhysicalVoAddr + offset;
        f.mpVirAddr[plane] = pVirtualVoAddr + offset;
    }
    f.mOffsetBottom = 1080;
    f.mOffsetRight = static_cast<int16_t>(width);
    return 0;
}

void BmPlayer::FreeVideoFrame()
{
    if (pVirtualVoAddr == nullptr)
        return;
    SOC_MPI_SYS_MmzFree(mPhysicalVoAddr, pVirtualVoAddr);
    pVirtualVoAddr = nullptr;
    mPhysicalVoAddr = 0;
    mVideoFrame = VIDEO_FRAME_INFO_S{};
}

void BmPlayer::WriteFrame(const Nal& nal)
{
    if (pVirtualVoAddr == nullptr)
        return;
    size_t bytes = static_cast<size_t>(mFormat.width) * mFormat.height * 3 / 2;
    std::memcpy(pVirtualVoAddr, nal.buffer, std::min(bytes, static_cast<size_t>(std::max(nal.length, 0))));
    mVideoFrame.VFrame.mpts = nal.pts;
    SOC_MPI_VO_SendFrame(mVideoOutChannelId * 4 + mVideoOutLayerId, mVideoOutChannelId, &mVideoFrame, 0);
}

int BmPlayer::AllocVideoDecoderFrame()
{
    void* block = nullptr;
    int ret = SOC_MPI_SYS_MmzAlloc_Cached(&mPhysicalVdAddr, &block, kInputBytes);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_MmzAlloc_Cached fail! size:%d ret:0x%x", kInputBytes, ret);
        return -1;
    }
    pVirtualVdAddr = static_cast<uint8_t*>(block);
    mVdecFrame = VDEC_STREAM_S{};
    mVdecFrame.pAddr = pVirtualVdAddr;
    mLastOffset = 0;
    mLastPts = 0;
    mDropping = false;
    return 0;
}

void BmPlayer::FreeVideoDecoderFrame()
{
    if (pVirtualVdAddr == nullptr)
        return;
    SOC_MPI_SYS_MmzFree(mPhysicalVdAddr, pVirtualVdAddr);
    pVirtualVdAddr = nullptr;
    mPhysicalVdAddr = 0;
    mVdecFrame = VDEC_STREAM_S{};
    mLastOffset = 0; // what was pending is dropped
}

void BmPlayer::SendPending()
{
    if (mLastOffset <= 0)
        return;
    mVdecFrame.pAddr = pVirtualVdAddr;
    mVdecFrame.mLen = static_cast<uint32_t>(mLastOffset);
    mVdecFrame.mbEndOfFrame = 1;
    mVdecFrame.mbEndOfStream = 0;
    mVdecFrame.mPTS = mLastPts;
    if (SOC_MPI_VDEC_SendStream(mVideoDecoderId, &mVdecFrame, kSendTimeoutMs) != 0)
        MPP_COMM_ERR("Do SOC_MPI_VDEC_SendStream fail! ");
    mLastOffset = 0;
}

void BmPlayer::WriteStream(const Nal& nal, bool hasPts)
{
    if (pVirtualVdAddr == nullptr)
        return;
    mLastTimeMsec = BmClock::Inst()->Msec();
    if (hasPts && nal.pts != mLastPts) {
        SendPending();
        mDropping = false;
        mLastPts = nal.pts;
    } else if (!hasPts) {
        SendPending();
    }
    if (mDropping)
        return;
    // An access unit larger than the buffer is skipped whole: half of one
    // would only give the decoder a broken picture.
    if (nal.length > kInputBytes - mLastOffset) {
        printf("BmPlayer::WriteStream() unit of %d bytes dropped, %d pending, buffer %d\n", nal.length,
               mLastOffset, kInputBytes);
        mLastOffset = 0;
        mDropping = true;
        return;
    }
    memcpy(pVirtualVdAddr + mLastOffset, nal.buffer, static_cast<size_t>(nal.length));
    mLastOffset += nal.length;
}

void BmPlayer::ShowDecodedPicture()
{
    VIDEO_FRAME_INFO_S frame;
    if (SOC_MPI_VDEC_GetImage(mVideoDecoderId, &frame, kImageTimeoutMs) != 0)
        return;
    SOC_MPI_VO_SendFrame(mVideoOutChannelId * 4 + mVideoOutLayerId, mVideoOutChannelId, &frame, kImageTimeoutMs);
    if (SOC_MPI_VDEC_ReleaseImage(mVideoDecoderId, &frame) != 0)
        MPP_COMM_ERR("SOC_MPI_VDEC_ReleaseImage() fail!");
}
