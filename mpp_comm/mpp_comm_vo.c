#include "mpp_comm/mpp_comm_vo.h"

#include "mpp_comm/mpp_comm_log.h"
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

int mpp_comm_vo_chn_layer_create(int chn, const VO_CHN_CFG_S* cfg, int layer, int priority, int alpha)
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
    VO_VIDEO_LAYER_ALPHA_S a;
    a.mAlphaMode = alpha >= 1 ? 1 : 0;
    a.mAlphaValue = alpha >= 1 ? alpha : 0;
    SOC_MPI_VO_SetVideoLayerAlpha(vl, &a);
    SOC_MPI_VO_SetVideoLayerPriority(vl, priority);
    ret = SOC_MPI_VO_EnableChn(vl, chn);
    if (ret != 0) /* also when the channel was enabled already */
        return -1;
    SOC_MPI_VO_SetChnDispBufNum(vl, chn, cfg->dispBufNum);
    return 0;
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
