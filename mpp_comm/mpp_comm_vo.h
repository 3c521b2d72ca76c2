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
int mpp_comm_vo_chn_layer_move_y(int chn, int layer, int y);
int mpp_comm_vo_chn_layer_height(int chn, int layer, int height);
/* A channel on layer 0 of its group, at priority 11. */
int mpp_comm_vo_chn_create(int chn, const VO_CHN_CFG_S* cfg);
int mpp_comm_vo_chn_destroy(int chn);
int mpp_comm_vo_chn_start(int chn);
int mpp_comm_vo_chn_stop(int chn);
/* A clock channel that paces the display channels bound to it. */
int mpp_comm_vo_clock_create(int clock);
int mpp_comm_vo_clock_destroy(int clock);
int mpp_comm_vo_bind_clock(int clock, int chn);
int mpp_comm_vo_unbind_clock(int clock, int chn);
int mpp_comm_vo_bind_clock_layer(int clock, int chn, int layer);
int mpp_comm_vo_unbind_clock_layer(int clock, int chn, int layer);
int mpp_comm_vo_get_attr(void);
/* The outside video layer 11 over the display's top: 480 x 360, priority 8. */
int SetPriority(void);

#ifdef __cplusplus
}
#endif
