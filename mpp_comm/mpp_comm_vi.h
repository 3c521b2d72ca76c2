#pragma once
// Camera capture devices and channels from named attribute sets.

#include "mpp_comm/soc_vi.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    VI_VGA_30FPS = 0,
    VI_D1_30FPS = 1,
    VI_720P_25FPS = 2,
    VI_720P_30FPS = 3,
    VI_1080P_25FPS = 4,
    VI_1080P_30FPS = 5,
    VI_2K_30FPS = 6,
    VI_SHD_30FPS = 7,
    VI_4K_25FPS = 8,
    VI_4K_30FPS = 9,
    VI_2048x2048_30FPS = 10,
    VI_1920x1920_25FPS = 11,
    VI_1024x1024_30FPS = 12,
    VI_2880x2160_30FPS = 13,
    VI_2592x1944_30FPS = 14,
    VI_480x280 = 15,
    VI_640x360 = 16,
    VI_540P_30FPS = 17,
    VI_270P_30FPS = 18,
    VI_320x240 = 19,
    VI_800x450 = 20,
    VI_TYPE_BOTTON = 21,
} MPP_COM_VI_TYPE_E;

int mpp_comm_vi_get_attr(MPP_COM_VI_TYPE_E type, socVI_ATTR_S* p_vi_attr);
int mpp_comm_vi_dev_create(int vi_dev, socVI_ATTR_S* p_vi_attr);
int mpp_comm_vi_dev_create_mirror(int vi_dev, socVI_ATTR_S* p_vi_attr);
int mpp_comm_vi_dev_create_flip(int vi_dev, socVI_ATTR_S* p_vi_attr);
int mpp_comm_vi_dev_create_rotate_180(int vi_dev, socVI_ATTR_S* p_vi_attr);
int mpp_comm_vi_dev_destroy(int vi_dev);
int mpp_comm_vi_chn_create(int vi_dev, int vi_chn);
int mpp_comm_vi_chn_destroy(int vi_dev, int vi_chn);
int mpp_comm_vi_bind_venc(int vi_dev, int vi_chn, int venc_chn);
int mpp_comm_vi_unbind_venc(int vi_dev, int vi_chn, int venc_chn);
int mpp_comm_vi_bind_vo(int vi_dev, int vi_chn, int vo_chn);
int mpp_comm_vi_unbind_vo(int vi_dev, int vi_chn, int vo_chn);
int mpp_comm_vi_bind_vo_layer(int vi_dev, int vi_chn, int vo_chn, int vo_layer);
int mpp_comm_vi_unbind_vo_layer(int vi_dev, int vi_chn, int vo_chn, int vo_layer);
int mpp_comm_vi_bind_ise(int vi_dev, int vi_chn, int ise_grp);
int mpp_comm_vi_unbind_ise(int vi_dev, int vi_chn, int ise_grp);

#ifdef __cplusplus
}
#endif
