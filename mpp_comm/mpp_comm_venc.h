#pragma once
// Encoder channels from named configuration records, and the copying of
// encoded units out of them.

#include "mpp_comm/soc_venc.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    VENC_VGA_TO_VGA_1M_30FPS = 0,
    VENC_D1_TO_D1_2M_30FPS = 1,
    VENC_720P_TO_720P_4M_25FPS = 2,
    VENC_720P_TO_720P_4M_30FPS = 3,
    VENC_720P_TO_D1_2M_30FPS = 4,
    VENC_1080P_TO_1080P_8M_30FPS = 5,
    VENC_1080P_TO_1080P_8M_25FPS = 6,
    VENC_1080P_TO_720P_4M_30FPS = 7,
    VENC_1080P_TO_D1_2M_30FPS = 8,
    VENC_SHD_TO_SHD_13M_30FPS = 9,
    VENC_2K_TO_2K_16M_30FPS = 10,
    VENC_4K_TO_4K_18M_25FPS = 11,
    VENC_4K_TO_4K_20M_30FPS = 12,
    VENC_2880x2160_TO_2880x2160_12M_30FPS = 13,
    VENC_2592x1944_TO_2592x1944_10M_30FPS = 14,
    VENC_1024x1024_TO_1024x1024_4M_30FPS = 15,
    VENC_2048x2048_TO_2048x2048_10M_30FPS = 16,
    VENC_2048x512_TO_2048x512_8M_30FPS = 17,
    VENC_4096x1024_TO_4096x1024_10M_30FPS = 18,
    VENC_3840x1920_TO_3840x1920_8M_15FPS = 19,
    VENC_1280x640_TO_1280x640_4M_25FPS = 20,
    VENC_3840x1080_TO_3840x1080_8M_25FPS = 21,
    VENC_1920x540_TO_1920x540_4M_25FPS = 22,
    VENC_360P_TO_360P_1M_30FPS = 23,
    VENC_540P_TO_360P_1M_30FPS = 24,
    VENC_2K_TO_2K_8M_14FPS = 25,
    VENC_1920x2160 = 26,
    VENC_2K_TO_SHD_30FPS = 27,
    VENC_2K_TO_1080P_30FPS = 28,
    VENC_2K_TO_720P_30FPS = 29,
    VENC_CFG_BOTTON = 30,
} VENC_CFG_TYPE_E;

typedef struct {
    uint32_t src_width;
    uint32_t src_height;
    uint32_t dst_width;
    uint32_t dst_height;
    uint32_t src_fps;
    uint32_t dst_fps;
    uint32_t bitrate;
    uint32_t gop;
    uint32_t max_qp;
    uint32_t min_qp;
    int is_by_frame;
    VIDEO_FIELD_E field;
    PIXEL_FORMAT_E pixel_format;
} VENC_CFG_S;

#define MPP_COMM_VENC_MAX_CHN 16
#define MPP_COMM_VENC_STREAM_BUF_SIZE 0x1950000

int mpp_comm_venc_get_cfg(VENC_CFG_TYPE_E type, VENC_CFG_S* p_venc_cfg);
int venc_get_rc_enum(int payload, int rc_mode, VENC_RC_MODE_E* p_rc_enum);
int mpp_comm_venc_create(int venc_chn, int payload, int rc_mode, int profile, int rotate, VENC_CFG_S* venc_cfg);
int mpp_comm_venc_destroy(int venc_chn);
/* One unit into a new g_malloc block (parameter sets in front of a key
 * frame); the caller frees it with g_free. */
int mpp_comm_venc_get_stream_to_new_buffer(int venc_chn, int payload, int timeout_ms, char** buf, int* len,
                                           uint64_t* pts, int* key_frame);
/* One unit into the channel's own stream block, parameter sets apart. */
int mpp_comm_venc_get_stream(int venc_chn, int payload, int timeout_ms, char** buf, int* len, uint64_t* pts,
                             int* key_frame, VENC_HEADER_DATA_S* header);
int mpp_comm_venc_get_snap(int venc_chn, char* buf, VENC_CFG_S* venc_cfg);
int mpp_comm_venc_bind_mux(int venc_chn, int mux_grp);
int mpp_comm_venc_unbind_mux(int venc_chn, int mux_grp);
int mpp_comm_venc_callback(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData);

#ifdef __cplusplus
}
#endif
