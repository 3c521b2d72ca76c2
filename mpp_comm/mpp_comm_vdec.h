#pragma once
// Decoder channels of the media platform, and their binding to a display channel.

#include "mpp_comm/soc_vdec.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MPP_COMM_VDEC_MAX_CHN 16
#define MPP_COMM_VDEC_BUF_SIZE 7372800

typedef struct {
    uint32_t width;
    uint32_t height;
    ROTATE_E rotation;
    PAYLOAD_TYPE_E codec_type;
} VDEC_CFG_S;

int mpp_comm_vdec_create(int vdec_chn, const VDEC_CFG_S* vdec_cfg, SOC_CALLBACK_S* cb_info);
int mpp_comm_vdec_destroy(int vdec_chn);
int mpp_comm_vdec_bind_vo(int vdec_chn, int vo_chn);
int mpp_comm_vdec_unbind_vo(int vdec_chn, int vo_chn);

#ifdef __cplusplus
}
#endif
