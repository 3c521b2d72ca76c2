#pragma once
// Camera capture of the vendor media platform: a capture device ("vipp")
// configured by an attribute set, and virtual channels that hand out frames.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SOC_VI_BUF_TYPE_CAPTURE_MPLANE 9u
#define SOC_VI_MEMORY_MMAP 1u
#define SOC_VI_FIELD_NONE 1u /* progressive */
#define SOC_VI_CAPTURE_VIDEO 2u
#define SOC_VI_FOURCC(a, b, c, d) \
    ((uint32_t)(a) | ((uint32_t)(b) << 8) | ((uint32_t)(c) << 16) | ((uint32_t)(d) << 24))
#define SOC_VI_PIX_FMT_NV21M SOC_VI_FOURCC('N', 'M', '2', '1')

typedef struct {
    uint32_t sizeimage;
    uint32_t bytesperline;
} socVI_PLANE_FMT_S;

typedef struct {
    uint32_t width;
    uint32_t height;
    uint32_t pixelformat;
    uint32_t field;
    uint32_t colorspace;
    socVI_PLANE_FMT_S plane_fmt[3];
    uint8_t num_planes;
    uint8_t flags;
} socVI_FORMAT_S;

typedef struct {
    uint32_t type;
    uint32_t memtype;
    socVI_FORMAT_S format;
    uint32_t nbufs;
    uint32_t nplanes;
    uint32_t fps;
    uint32_t capturemode;
    uint32_t use_current_win;
    uint32_t wdr_mode;
    uint32_t drop_frame_num;
} socVI_ATTR_S;

int SOC_MPI_VI_CreateVipp(int dev);
int SOC_MPI_VI_SetVippAttr(int dev, const socVI_ATTR_S* pAttr);
int SOC_MPI_VI_SetVippMirror(int dev, int value);
int SOC_MPI_VI_SetVippFlip(int dev, int value);
int SOC_MPI_VI_EnableVipp(int dev);
int SOC_MPI_VI_DisableVipp(int dev);
int SOC_MPI_VI_DestoryVipp(int dev);
int SOC_MPI_VI_CreateVirChn(int dev, int chn, void* pAttr);
int SOC_MPI_VI_EnableVirChn(int dev, int chn);
int SOC_MPI_VI_DisableVirChn(int dev, int chn);
int SOC_MPI_VI_DestoryVirChn(int dev, int chn);
/* A frame stays valid until it is released. */
int SOC_MPI_VI_GetFrame(int dev, int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs);
int SOC_MPI_VI_ReleaseFrame(int dev, int chn, VIDEO_FRAME_INFO_S* pFrame);

#ifdef __cplusplus
}
#endif
