#pragma once
// Display glue: the output device by kind, and a display channel on a video
// layer (number = 4 x channel + layer) with its rectangle, priority and alpha.

#ifdef __cplusplus
extern "C" {
#endif

typedef enum { VO_TYPE_CVBS = 0, VO_TYPE_HDMI = 1, VO_TYPE_LCD = 2 } MPP_COM_VO_TYPE_E;

typedef struct {
    int width;
    int height;
} VO_DEV_CFG_S;

typedef struct {
    int top;
    int left;
    int width;
    int height;
    int dispBufNum;
} VO_CHN_CFG_S;

int mpp_comm_vo_dev_create(int kind, const VO_DEV_CFG_S* cfg);
int mpp_comm_vo_dev_destroy(int kind);
int mpp_comm_vo_chn_layer_create(int chn, const VO_CHN_CFG_S* cfg, int layer, int priority, int alpha);
int mpp_comm_vo_chn_layer_destroy(int chn, int layer);
int mpp_comm_vo_chn_layer_start(int chn, int layer);
int mpp_comm_vo_chn_layer_stop(int chn, int layer);
int mpp_comm_vo_chn_layer_visible(int chn, int layer, int visible);

#ifdef __cplusplus
}
#endif
