#include "mpp_comm/mpp_comm_vo.h"

#include "mpp_comm/mpp_comm_log.h"
#include "mpp_comm/soc_clock.h"
#include "mpp_comm/soc_sys.h"
#include "mpp_comm/soc_vo.h"

#define VO_MAX_CHN 4

static int vo_layer(int chn, int layer)
{
    return chn < 0 || chn >= VO_MAX_CHN ? -1 : chn * 4 + layer;
}

int mpp_comm_vo_dev_create(int kind, const VO_DEV_CFG_S* cfg)
{
    if (cfg == NULL || kind < 0 || kind > 3)
        return -1;
    int ret = SOC_MPI_VO_Enable(0);
    if (ret != 0)
        return ret;
    VO_PUB_ATTR_S attr;
    ret = SOC_MPI_VO_GetPubAttr(0, &attr);
    MPP_COMM_OK("Do SOC_MPI_VO_GetPubAttr succeed VO_DEV:0  ret:%d ", ret);
    attr.mIntfType = kind == 0 ? VO_INTF_CVBS : kind == 1 ? VO_INTF_HDMI : VO_INTF_LCD;
    attr.mIntfSync = kind == 1 ? VO_OUTPUT_1080P60 : VO_OUTPUT_NTSC;
    ret = SOC_MPI_VO_SetPubAttr(0, &attr);
    MPP_COMM_OK("Do SOC_MPI_VO_SetPubAttr succeed VO_DEV:0  ret:0x%x ", ret);
    return ret;
}

int mpp_comm_vo_dev_destroy(int kind)
{
    (void)kind;
    return SOC_MPI_VO_Disable(0);
}

/* Release buffer, set video size and rendering start are routine. */
static int display_event(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData)
{
    (void)cookie;
    (void)pEventData;
    if (pChn == NULL || event == 1 || event == 257 || event == 258)
        return 0;
    MPP_COMM_ERR(" pChn->mModId:%d, chn=%d, lay=%d, event=%d ", pChn->mModId, pChn->mChnId, pChn->mDevId, event);
    return 0;
}

/* alpha < 0: the layer's alpha is left as it is. */
static int create_chn(int chn, const VO_CHN_CFG_S* cfg, int layer, int priority, int alpha)
{
    int vl = vo_layer(chn, layer);
    if (vl < 0 || cfg == NULL)
        return -1;
    int ret = SOC_MPI_VO_EnableVideoLayer(vl);
    VO_VIDEO_LAYER_ATTR_S attr;
    if (ret == 0)
        ret = SOC_MPI_VO_GetVideoLayerAttr(vl, &attr);
    if (ret != 0)
        return -1;
    attr.mDispRect.mX = cfg->left;
    attr.mDispRect.mY = cfg->top;
    attr.mDispRect.mWidth = (uint32_t)cfg->width;
    attr.mDispRect.mHeight = (uint32_t)cfg->height;
    SOC_MPI_VO_SetVideoLayerAttr(vl, &attr);
    if (alpha >= 0) {
        VO_VIDEO_LAYER_ALPHA_S a;
        a.mAlphaMode = alpha >= 1 ? 1 : 0;
        a.mAlphaValue = alpha >= 1 ? alpha : 0;
        SOC_MPI_VO_SetVideoLayerAlpha(vl, &a);
    }
    SOC_MPI_VO_SetVideoLayerPriority(vl, priority);
    ret = SOC_MPI_VO_EnableChn(vl, chn);
    if (ret != 0) /* also when the channel was enabled already */
        return -1;
    SOC_CALLBACK_S callback = {NULL, display_event};
    SOC_MPI_VO_RegisterCallback(vl, &callback);
    SOC_MPI_VO_SetChnDispBufNum(vl, chn, cfg->dispBufNum);
    return 0;
}

int mpp_comm_vo_chn_layer_create(int chn, const VO_CHN_CFG_S* cfg, int layer, int priority, int alpha)
{
    return create_chn(chn, cfg, layer, priority, alpha < 0 ? 0 : alpha);
}

int mpp_comm_vo_chn_create(int chn, const VO_CHN_CFG_S* cfg)
{
    return create_chn(chn, cfg, 0, 11, -1);
}

int mpp_comm_vo_chn_destroy(int chn)
{
    return mpp_comm_vo_chn_layer_destroy(chn, 0);
}

int mpp_comm_vo_chn_start(int chn)
{
    return mpp_comm_vo_chn_layer_start(chn, 0);
}

int mpp_comm_vo_chn_stop(int chn)
{
    return mpp_comm_vo_chn_layer_stop(chn, 0);
}

int mpp_comm_vo_chn_layer_destroy(int chn, int layer)
{
    int vl = vo_layer(chn, layer);
    if (vl < 0)
        return -1;
    int ret = SOC_MPI_VO_DisableChn(vl, chn);
    int ret2 = SOC_MPI_VO_DisableVideoLayer(vl);
    return ret != 0 ? ret : ret2;
}

int mpp_comm_vo_chn_layer_start(int chn, int layer)
{
    int vl = vo_layer(chn, layer);
    return vl < 0 ? -1 : SOC_MPI_VO_StartChn(vl, chn);
}

int mpp_comm_vo_chn_layer_stop(int chn, int layer)
{
    int vl = vo_layer(chn, layer);
    return vl < 0 ? -1 : SOC_MPI_VO_StopChn(vl, chn);
}

int mpp_comm_vo_chn_layer_visible(int chn, int layer, int visible)
{
    int vl = vo_layer(chn, layer);
    if (vl < 0)
        return -1;
    return visible ? SOC_MPI_VO_ShowChn(vl, chn) : SOC_MPI_VO_HideChn(vl, chn);
}

/* Reads the layer's rectangle, lets change() alter it and writes it back. */
static int change_rect(int chn, int layer, void (*change)(RECT_S*, int), int value)
{
    int vl = vo_layer(chn, layer);
    if (vl < 0)
        return -1;
    VO_VIDEO_LAYER_ATTR_S attr;
    int ret = SOC_MPI_VO_GetVideoLayerAttr(vl, &attr);
    if (ret == 0) {
        change(&attr.mDispRect, value);
        ret = SOC_MPI_VO_SetVideoLayerAttr(vl, &attr);
    }
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VO_SetVideoLayerAttr fail! vo_layer:%d ret:%d", vl, ret);
        return -1;
    }
    return 0;
}

static void set_y(RECT_S* rect, int y)
{
    rect->mY = y;
}

static void set_height(RECT_S* rect, int height)
{
    rect->mHeight = (uint32_t)height;
}

int mpp_comm_vo_chn_layer_move_y(int chn, int layer, int y)
{
    return change_rect(chn, layer, set_y, y);
}

int mpp_comm_vo_chn_layer_height(int chn, int layer, int height)
{
    return change_rect(chn, layer, set_height, height);
}

static int clock_event(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData)
{
    (void)cookie;
    (void)pEventData;
    MPP_COMM_OK("clock channel[%d] has some event[0x%x]", pChn != NULL ? pChn->mChnId : -1, event);
    return 0;
}

int mpp_comm_vo_clock_create(int clock)
{
    CLOCK_CHN_ATTR_S attr = {2};
    int ret = SOC_MPI_CLOCK_CreateChn(clock, &attr);
    if ((unsigned)ret == SOC_ERR_CLOCK_EXIST) {
        MPP_COMM_ERR("Clock chn[%d] is exist!", clock);
        return -1;
    }
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_CLOCK_CreateChn fail! clock_chn:%d ret:%d", clock, ret);
        return -1;
    }
    SOC_CALLBACK_S callback = {NULL, clock_event};
    SOC_MPI_CLOCK_RegisterCallback(clock, &callback);
    return 0;
}

int mpp_comm_vo_clock_destroy(int clock)
{
    int ret = SOC_MPI_CLOCK_DestroyChn(clock);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_CLOCK_DestroyChn fail! clock_chn:%d ret:%d", clock, ret);
        return -1;
    }
    return 0;
}

/* From the clock channel to a display layer's channel. */
static int bind_clock(int clock, int vl, int chn, int bind)
{
    if (vl < 0)
        return -1;
    MPP_CHN_S src = {MOD_ID_CLOCK, 0, clock};
    MPP_CHN_S dst = {MOD_ID_VOU, vl, chn};
    int ret = bind ? SOC_MPI_SYS_Bind(&src, &dst) : SOC_MPI_SYS_UnBind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_%s fail! clock_chn:%d vo_layer:%d ret:%d", bind ? "Bind" : "UnBind", clock, vl,
                     ret);
        return -1;
    }
    return 0;
}

int mpp_comm_vo_bind_clock(int clock, int chn)
{
    return bind_clock(clock, vo_layer(chn, 0), 0, 1);
}

int mpp_comm_vo_unbind_clock(int clock, int chn)
{
    return bind_clock(clock, vo_layer(chn, 0), 0, 0);
}

int mpp_comm_vo_bind_clock_layer(int clock, int chn, int layer)
{
    return bind_clock(clock, vo_layer(chn, layer), chn, 1);
}

int mpp_comm_vo_unbind_clock_layer(int clock, int chn, int layer)
{
    return bind_clock(clock, vo_layer(chn, layer), chn, 0);
}

int mpp_comm_vo_get_attr(void)
{
    return 0;
}

int SetPriority(void)
{
    const int layer = 11;
    int ret = SOC_MPI_VO_AddOutsideVideoLayer(layer);
    if (ret == 0)
        ret = SOC_MPI_VO_EnableVideoLayer(layer);
    VO_VIDEO_LAYER_ATTR_S attr;
    if (ret == 0)
        ret = SOC_MPI_VO_GetVideoLayerAttr(layer, &attr);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VO_AddOutsideVideoLayer fail! vo_layer:%d ret:%d", layer, ret);
        return -1;
    }
    printf(" layer=%d,  x=%d, y=%d, w=%d, h=%d\n", layer, attr.mDispRect.mX, attr.mDispRect.mY,
           (int)attr.mDispRect.mWidth, (int)attr.mDispRect.mHeight);
    attr.mDispRect.mX = 0;
    attr.mDispRect.mY = 0;
    attr.mDispRect.mWidth = 480;
    attr.mDispRect.mHeight = 360;
    SOC_MPI_VO_SetVideoLayerAttr(layer, &attr);
    SOC_MPI_VO_SetVideoLayerPriority(layer, 8);
    VO_VIDEO_LAYER_ALPHA_S alpha = {0, 150};
    SOC_MPI_VO_SetVideoLayerAlpha(layer, &alpha);
    return 0;
}
