#pragma once
// Overlay regions of the vendor media platform: pictures blended into every
// frame that reaches the channel they are attached to.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MM_PIXEL_FORMAT_RGB_8888 10 /* 32-bit pixels, alpha in the top byte */

typedef int RGN_HANDLE;

typedef enum { OVERLAY_RGN = 0, COVER_RGN = 1 } RGN_TYPE_E;

typedef struct {
    uint32_t Width;
    uint32_t Height;
} SIZE_S;

typedef struct {
    int X;
    int Y;
} POINT_S;

typedef struct {
    int mPixelFmt;
    SIZE_S mSize;
} OVERLAY_ATTR_S;

typedef struct {
    RGN_TYPE_E mType;
    OVERLAY_ATTR_S mOverlay;
} RGN_ATTR_S;

typedef struct {
    POINT_S mPoint;
    uint32_t mFgAlpha; /* 0 (clear) to 128 (as drawn) */
    uint32_t mBgAlpha;
    uint32_t mLayer;
} OVERLAY_CHN_ATTR_S;

typedef struct {
    int bShow;
    RGN_TYPE_E mType;
    OVERLAY_CHN_ATTR_S mOverlayChn;
} RGN_CHN_ATTR_S;

typedef struct {
    int mPixelFormat;
    uint32_t mWidth;
    uint32_t mHeight;
    void* mpData;
} BITMAP_S;

int SOC_MPI_RGN_Create(RGN_HANDLE handle, const RGN_ATTR_S* pAttr);
int SOC_MPI_RGN_Destroy(RGN_HANDLE handle);
int SOC_MPI_RGN_AttachToChn(RGN_HANDLE handle, const MPP_CHN_S* pChn, const RGN_CHN_ATTR_S* pAttr);
int SOC_MPI_RGN_DetachFromChn(RGN_HANDLE handle, const MPP_CHN_S* pChn);
/* Copies the picture into the region; the source may be redrawn afterwards. */
int SOC_MPI_RGN_SetBitMap(RGN_HANDLE handle, const BITMAP_S* pBitmap);

#ifdef __cplusplus
}
#endif
