#pragma once
// Video decoder channels of the vendor media platform: whole access units in,
// pictures (turned and scaled as the channel is set up) out.

#include "mpp_comm/soc_common.h"
#include "mpp_comm/soc_venc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The decoder library's own setting; the engine sets it to 1 before the
 * platform starts, so pictures come out at half width and height. */
extern int gVideoDecoderScaleDown;

/* CreateChn on a channel that already exists. */
#define SOC_ERR_VDEC_EXIST 0xA0058004u
/* Event of a channel that has given out the last picture of its stream. */
#define SOC_VDEC_EVENT_END_OF_STREAM 256

typedef enum { ROTATE_NONE = 0, ROTATE_90 = 1, ROTATE_180 = 2, ROTATE_270 = 3 } ROTATE_E;

typedef enum { VIDEO_MODE_STREAM = 0, VIDEO_MODE_FRAME = 1 } VIDEO_MODE_E;

typedef struct {
    PAYLOAD_TYPE_E mType;
    uint32_t mBufSize; /* the largest unit a channel takes */
    uint32_t mPriority;
    uint32_t mPicWidth;
    uint32_t mPicHeight;
    ROTATE_E mInitRotation; /* clockwise */
    PIXEL_FORMAT_E mOutputPixelFormat;
    int mSubPicEnable;
    VIDEO_MODE_E mVideoMode;
    uint32_t mRefFrameNum;
    int mSupportBFrame;
} VDEC_CHN_ATTR_S;

typedef struct {
    uint8_t* pAddr;
    uint32_t mLen;
    uint64_t mPTS; /* microseconds */
    int mbEndOfFrame;
    int mbEndOfStream;
} VDEC_STREAM_S;

int SOC_MPI_VDEC_CreateChn(int chn, const VDEC_CHN_ATTR_S* pAttr);
int SOC_MPI_VDEC_DestroyChn(int chn);
int SOC_MPI_VDEC_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback);
int SOC_MPI_VDEC_StartRecvStream(int chn);
int SOC_MPI_VDEC_StopRecvStream(int chn);
int SOC_MPI_VDEC_SendStream(int chn, const VDEC_STREAM_S* pStream, int timeoutMs);
int SOC_MPI_VDEC_GetImage(int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs);
int SOC_MPI_VDEC_ReleaseImage(int chn, VIDEO_FRAME_INFO_S* pFrame);

#ifdef __cplusplus
}
#endif
