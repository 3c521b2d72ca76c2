#pragma once
// Video encoder channels of the vendor media platform.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

/* CreateChn on a channel that already exists. */
#define SOC_ERR_VENC_EXIST 0xA0088004u

typedef enum {
    PT_JPEG = 26,
    PT_H264 = 96,
    PT_H265 = 265,
    PT_MJPEG = 1002,
} PAYLOAD_TYPE_E;

typedef enum {
    VENC_RC_MODE_H264CBR = 1,
    VENC_RC_MODE_H264VBR,
    VENC_RC_MODE_H264FIXQP,
    VENC_RC_MODE_H264ABR,
    VENC_RC_MODE_H265CBR,
    VENC_RC_MODE_H265VBR,
    VENC_RC_MODE_H265FIXQP,
    VENC_RC_MODE_MJPEGCBR,
    VENC_RC_MODE_MJPEGVBR,
    VENC_RC_MODE_MJPEGFIXQP,
    VENC_RC_MODE_MJPEGABR,
    VENC_RC_MODE_BUTT,
} VENC_RC_MODE_E;

typedef enum { H264_LEVEL_51 = 51 } H264_LEVEL_E;
typedef enum { H265_LEVEL_62 = 62 } H265_LEVEL_E;
typedef enum { VENC_GOPMODE_NORMALP = 0 } VENC_GOP_MODE_E;

typedef struct {
    uint32_t Profile;
    int bByFrame;
    uint32_t PicWidth;
    uint32_t PicHeight;
    H264_LEVEL_E mLevel;
    int mbPIntraEnable;
} VENC_ATTR_H264_S;

typedef struct {
    uint32_t mProfile;
    int mbByFrame;
    uint32_t mPicWidth;
    uint32_t mPicHeight;
    H265_LEVEL_E mLevel;
    int mbPIntraEnable;
} VENC_ATTR_H265_S;

typedef struct {
    int mbByFrame;
    uint32_t mPicWidth;
    uint32_t mPicHeight;
} VENC_ATTR_MJPEG_S;

typedef struct {
    uint32_t MaxPicWidth;
    uint32_t MaxPicHeight;
    int bByFrame;
    uint32_t PicWidth;
    uint32_t PicHeight;
} VENC_ATTR_JPEG_S;

typedef struct {
    PAYLOAD_TYPE_E Type;
    uint32_t MaxKeyInterval;
    uint32_t SrcPicWidth;
    uint32_t SrcPicHeight;
    VIDEO_FIELD_E Field;
    PIXEL_FORMAT_E PixelFormat;
    int mColorSpace;
    int Rotate;
    union {
        VENC_ATTR_H264_S AttrH264e;
        VENC_ATTR_H265_S AttrH265e;
        VENC_ATTR_MJPEG_S AttrMjpeg;
        VENC_ATTR_JPEG_S AttrJpeg;
    };
} VENC_ATTR_S;

/* Rate control: which fields count depends on the mode (CBR: GOP, rates and
 * bitrate; VBR adds the QP bounds; fixed QP: GOP, rates, I and P QP). */
typedef struct {
    VENC_RC_MODE_E mRcMode;
    uint32_t mGop;
    uint32_t mSrcFrmRate;
    uint32_t mDstFrmRate;
    uint32_t mBitRate;
    uint32_t mMaxQp;
    uint32_t mMinQp;
    uint32_t mIQp;
    uint32_t mPQp;
} VENC_RC_ATTR_S;

typedef struct {
    VENC_GOP_MODE_E enGopMode;
    uint32_t mGopSize;
} VENC_GOP_ATTR_S;

typedef struct {
    VENC_ATTR_S VeAttr;
    VENC_RC_ATTR_S RcAttr;
    VENC_GOP_ATTR_S GopAttr;
} VENC_CHN_ATTR_S;

typedef struct {
    uint32_t mSrcFrmRate;
    uint32_t mDstFrmRate;
} VENC_FRAME_RATE_S;

/* One encoded unit; its bytes may wrap in the encoder's ring, hence two parts.
 * mDataType is the unit's NAL type (H.264: 5 IDR, 1 P; H.265: 19 IDR, 1 P). */
typedef struct {
    uint8_t* mpAddr0;
    uint8_t* mpAddr1;
    uint32_t mLen0;
    uint32_t mLen1;
    uint64_t mPTS;
    int mDataType;
} VENC_PACK_S;

typedef struct {
    VENC_PACK_S* mpPack;
    uint32_t mPackCount;
    uint32_t mSeq;
} VENC_STREAM_S;

/* The channel's parameter sets (H.264: SPS, PPS; H.265: VPS, SPS, PPS), start codes included. */
typedef struct {
    uint8_t* pBuffer;
    uint32_t nLength;
} VENC_HEADER_DATA_S;

int SOC_MPI_VENC_CreateChn(int chn, const VENC_CHN_ATTR_S* pAttr);
int SOC_MPI_VENC_ResetChn(int chn);
int SOC_MPI_VENC_DestroyChn(int chn);
int SOC_MPI_VENC_SetFrameRate(int chn, const VENC_FRAME_RATE_S* pRate);
int SOC_MPI_VENC_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback);
int SOC_MPI_VENC_StartRecvPic(int chn);
int SOC_MPI_VENC_StopRecvPic(int chn);
/* Copies the picture: the caller may release its frame at once. */
int SOC_MPI_VENC_SendFrame(int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs);
/* The packs stay valid until ReleaseStream. */
int SOC_MPI_VENC_GetStream(int chn, VENC_STREAM_S* pStream, int timeoutMs);
int SOC_MPI_VENC_ReleaseStream(int chn, VENC_STREAM_S* pStream);
int SOC_MPI_VENC_GetH264SpsPpsInfo(int chn, VENC_HEADER_DATA_S* pHeader);
int SOC_MPI_VENC_GetH265SpsPpsInfo(int chn, VENC_HEADER_DATA_S* pHeader);

#ifdef __cplusplus
}
#endif
