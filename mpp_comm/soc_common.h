#pragma once
// Types shared by every family of the vendor media platform, as the engine
// uses them: module channels, video frames and the callback record.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    MOD_ID_VIU = 1,
    MOD_ID_VENC = 2,
    MOD_ID_VOU = 3,
    MOD_ID_ISE = 4,
    MOD_ID_VDEC = 5,
    MOD_ID_MUX = 6,
    MOD_ID_CLOCK = 103,
} MOD_ID_E;

typedef struct {
    MOD_ID_E mModId;
    int mDevId;
    int mChnId;
} MPP_CHN_S;

typedef enum {
    VIDEO_FIELD_TOP = 1,
    VIDEO_FIELD_BOTTOM = 2,
    VIDEO_FIELD_INTERLACED = 3,
    VIDEO_FIELD_FRAME = 4,
} VIDEO_FIELD_E;

typedef enum {
    MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420 = 1, /* NV21: Y plane, then interleaved V/U */
    MM_PIXEL_FORMAT_YUV_SEMIPLANAR_420 = 2, /* NV12 */
    MM_PIXEL_FORMAT_YVU_PLANAR_420 = 3,     /* YV12: Y plane, V plane, U plane */
} PIXEL_FORMAT_E;

/* A picture in platform memory. Physical addresses are what the hardware
 * blocks use, virtual ones what the processor reads; both are full-width
 * addresses so that a 64-bit build stays sound. */
typedef struct {
    uint32_t mWidth;
    uint32_t mHeight;
    VIDEO_FIELD_E mField;
    PIXEL_FORMAT_E mPixelFormat;
    int mVideoFormat;
    int mCompressMode;
    uintptr_t mPhyAddr[3];
    void* mpVirAddr[3];
    uint32_t mStride[3];
    int16_t mOffsetTop;
    int16_t mOffsetBottom;
    int16_t mOffsetLeft;
    int16_t mOffsetRight;
    uint64_t mpts; /* microseconds */
} VIDEO_FRAME_S;

typedef struct {
    VIDEO_FRAME_S VFrame;
    uint32_t mId; /* the buffer's index in its pool, handed back on release */
} VIDEO_FRAME_INFO_S;

typedef int (*SOC_CALLBACK_FN)(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData);

typedef struct {
    void* cookie;
    SOC_CALLBACK_FN callback;
} SOC_CALLBACK_S;

#ifdef __cplusplus
}
#endif
