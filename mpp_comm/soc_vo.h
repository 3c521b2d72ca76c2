#pragma once
// Display output of the vendor media platform: one device, video layers
// (number = 4 x channel + layer) with a display rectangle, priority and alpha,
// and a channel on each layer that shows the frames sent to it.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VO_INTF_CVBS 1
#define VO_INTF_HDMI 32
#define VO_INTF_LCD 64
#define VO_OUTPUT_NTSC 0
#define VO_OUTPUT_1080P60 1

typedef struct {
    int mX;
    int mY;
    uint32_t mWidth;
    uint32_t mHeight;
} RECT_S;

typedef struct {
    uint32_t mIntfType;
    uint32_t mIntfSync;
} VO_PUB_ATTR_S;

typedef struct {
    RECT_S mDispRect;
} VO_VIDEO_LAYER_ATTR_S;

typedef struct {
    int mAlphaMode; /* 1: the layer's own alpha value */
    int mAlphaValue;
} VO_VIDEO_LAYER_ALPHA_S;

int SOC_MPI_VO_Enable(int dev);
int SOC_MPI_VO_Disable(int dev);
int SOC_MPI_VO_GetPubAttr(int dev, VO_PUB_ATTR_S* pAttr);
int SOC_MPI_VO_SetPubAttr(int dev, const VO_PUB_ATTR_S* pAttr);
int SOC_MPI_VO_EnableVideoLayer(int layer);
/* A layer of another unit taken into the display's composition. */
int SOC_MPI_VO_AddOutsideVideoLayer(int layer);
/* Events of the layer's channel: released buffers, size changes, rendering. */
int SOC_MPI_VO_RegisterCallback(int layer, SOC_CALLBACK_S* pCallback);
int SOC_MPI_VO_DisableVideoLayer(int layer);
int SOC_MPI_VO_GetVideoLayerAttr(int layer, VO_VIDEO_LAYER_ATTR_S* pAttr);
int SOC_MPI_VO_SetVideoLayerAttr(int layer, const VO_VIDEO_LAYER_ATTR_S* pAttr);
int SOC_MPI_VO_SetVideoLayerAlpha(int layer, const VO_VIDEO_LAYER_ALPHA_S* pAlpha);
int SOC_MPI_VO_SetVideoLayerPriority(int layer, int priority);
int SOC_MPI_VO_EnableChn(int layer, int chn);
int SOC_MPI_VO_DisableChn(int layer, int chn);
int SOC_MPI_VO_StartChn(int layer, int chn);
int SOC_MPI_VO_StopChn(int layer, int chn);
int SOC_MPI_VO_ShowChn(int layer, int chn);
int SOC_MPI_VO_HideChn(int layer, int chn);
int SOC_MPI_VO_SetChnDispBufNum(int layer, int chn, int num);
/* Shows the frame; its buffer may be reused once the next frame is sent. */
int SOC_MPI_VO_SendFrame(int layer, int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs);

#ifdef __cplusplus
}
#endif
