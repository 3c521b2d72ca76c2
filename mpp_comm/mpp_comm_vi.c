#include "mpp_comm/mpp_comm_vi.h"

#include "mpp_comm/mpp_comm_log.h"
#include "mpp_comm/soc_sys.h"

#include <stdbool.h>
#include <string.h>

#define VI_MAX_ID 100

/* Every set captures NV21 in two planes, progressive, as video; they differ
 * in size, rate and buffer count. */
#define VI_ATTR(w, h, rate, bufs)                                                                  \
    {                                                                                              \
        .type = SOC_VI_BUF_TYPE_CAPTURE_MPLANE, .memtype = SOC_VI_MEMORY_MMAP,                     \
        .format = {.width = (w), .height = (h), .pixelformat = SOC_VI_PIX_FMT_NV21M,               \
                   .field = SOC_VI_FIELD_NONE, .colorspace = 0,                                    \
                   .plane_fmt = {{(w) * (h), (w)}, {(w) * (h) / 2, (w)}}, .num_planes = 2},        \
        .nbufs = (bufs), .nplanes = 2, .fps = (rate), .capturemode = SOC_VI_CAPTURE_VIDEO,         \
        .use_current_win = 0, .wdr_mode = 0, .drop_frame_num = 0                                   \
    }

static const socVI_ATTR_S g_viAttr[VI_TYPE_BOTTON] = {
    VI_ATTR(640, 480, 30, 10),   /* g_viAttr_VGA */
    VI_ATTR(720, 576, 30, 10),   /* g_viAttr_D1 */
    VI_ATTR(1280, 720, 25, 10),  /* g_viAttr_720p_25fps */
    VI_ATTR(1280, 720, 30, 10),  /* g_viAttr_720p */
    VI_ATTR(1920, 1080, 25, 10), /* g_viAttr_1080p_25fps */
    VI_ATTR(1920, 1080, 30, 10), /* g_viAttr_1080p */
    VI_ATTR(2560, 1440, 30, 10), /* g_viAttr_2k */
    VI_ATTR(2304, 1296, 30, 10), /* g_viAttr_shd */
    VI_ATTR(3840, 2160, 25, 10), /* g_viAttr_4k_25fps */
    VI_ATTR(3840, 2160, 30, 10), /* g_viAttr_4k */
    VI_ATTR(2048, 2048, 30, 10), /* g_viAttr_2048x2048 */
    VI_ATTR(1920, 1920, 25, 10), /* g_viAttr_1920x1920 */
    VI_ATTR(1024, 1024, 30, 10), /* g_viAttr_1024x1024 */
    VI_ATTR(2880, 2160, 30, 10), /* g_viAttr_2880x2160 */
    VI_ATTR(2592, 1944, 30, 10), /* g_viAttr_2592x1944 */
    VI_ATTR(480, 280, 30, 10),   /* g_viAttr_280 */
    VI_ATTR(640, 360, 30, 10),   /* g_viAttr_360 */
    VI_ATTR(960, 544, 30, 5),    /* g_viAttr_540p */
    VI_ATTR(480, 270, 30, 10),   /* g_viAttr_270p */
    VI_ATTR(420, 240, 30, 5),    /* g_viAttr_240p */
    VI_ATTR(800, 450, 30, 10),   /* g_viAttr_450 */
};

static bool vi_dev_valid(int vi_dev)
{
    if (vi_dev < 0 || vi_dev > VI_MAX_ID) {
        MPP_COMM_ERR("Input vi_dev:%d error!", vi_dev);
        return false;
    }
    return true;
}

static bool vi_dev_chn_valid(int vi_dev, int vi_chn)
{
    if (!vi_dev_valid(vi_dev))
        return false;
    if (vi_chn < 0 || vi_chn > VI_MAX_ID) {
        MPP_COMM_ERR("Input vi_chn:%d error!", vi_chn);
        return false;
    }
    return true;
}

int mpp_comm_vi_get_attr(MPP_COM_VI_TYPE_E type, socVI_ATTR_S* p_vi_attr)
{
    if (p_vi_attr == NULL) {
        MPP_COMM_ERR("Input p_vi_attr is NULL!");
        return -1;
    }
    if ((int)type < 0 || type >= VI_TYPE_BOTTON) {
        MPP_COMM_ERR("Input vi_type:%d is not support!", type);
        return -1;
    }
    *p_vi_attr = g_viAttr[type];
    return 0;
}

/* Creates, configures, optionally mirrors and flips, then enables a device. */
static int vi_dev_create(int vi_dev, socVI_ATTR_S* p_vi_attr, bool mirror, bool flip)
{
    if (!vi_dev_valid(vi_dev))
        return -1;
    int ret = SOC_MPI_VI_CreateVipp(vi_dev);
    if (ret != 0) {
        MPP_COMM_ERR("vi_dev:%d SOC_MPI_VI CreateVipp failed! ret:%d ", vi_dev, ret);
        return -1;
    }
    ret = SOC_MPI_VI_SetVippAttr(vi_dev, p_vi_attr);
    if (ret != 0) {
        MPP_COMM_ERR("vi_dev:%d SOC_MPI_VI SetVippAttr failed! ret:%d ", vi_dev, ret);
        return -1;
    }
    if (mirror && (ret = SOC_MPI_VI_SetVippMirror(vi_dev, 1)) != 0) {
        MPP_COMM_ERR("vi_dev:%d SOC_MPI_VI_SetVippMirror failed! ret:%d ", vi_dev, ret);
        return -1;
    }
    if (flip && (ret = SOC_MPI_VI_SetVippFlip(vi_dev, 1)) != 0) {
        MPP_COMM_ERR("vi_dev:%d SOC_MPI_VI_SetVippFlip failed! ret:%d ", vi_dev, ret);
        return -1;
    }
    ret = SOC_MPI_VI_EnableVipp(vi_dev);
    if (ret != 0) {
        MPP_COMM_ERR("vi_dev:%d SOC_MPI_VI_EnableVipp failed! ret:%d ", vi_dev, ret);
        return -1;
    }
    return 0;
}

int mpp_comm_vi_dev_create(int vi_dev, socVI_ATTR_S* p_vi_attr)
{
    return vi_dev_create(vi_dev, p_vi_attr, false, false);
}

int mpp_comm_vi_dev_create_mirror(int vi_dev, socVI_ATTR_S* p_vi_attr)
{
    return vi_dev_create(vi_dev, p_vi_attr, true, false);
}

int mpp_comm_vi_dev_create_flip(int vi_dev, socVI_ATTR_S* p_vi_attr)
{
    return vi_dev_create(vi_dev, p_vi_attr, false, true);
}

int mpp_comm_vi_dev_create_rotate_180(int vi_dev, socVI_ATTR_S* p_vi_attr)
{
    return vi_dev_create(vi_dev, p_vi_attr, true, true);
}

int mpp_comm_vi_dev_destroy(int vi_dev)
{
    if (!vi_dev_valid(vi_dev))
        return -1;
    int result = 0;
    int ret = SOC_MPI_VI_DisableVipp(vi_dev);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VI_DisableVipp vi_dev:%d failed! ret:%d ", vi_dev, ret);
        result = -1;
    }
    ret = SOC_MPI_VI_DestoryVipp(vi_dev);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VI_DestoryVipp vi_dev:%d failed! ret:%d ", vi_dev, ret);
        result = -1;
    }
    return result;
}

int mpp_comm_vi_chn_create(int vi_dev, int vi_chn)
{
    if (!vi_dev_chn_valid(vi_dev, vi_chn))
        return -1;
    int ret = SOC_MPI_VI_CreateVirChn(vi_dev, vi_chn, NULL);
    if (ret != 0) {
        MPP_COMM_ERR("SOC_MPI_VI_CreateVirChn vi_dev:%d vi_chn:%d failed! ret:%d ", vi_dev, vi_chn, ret);
        return -1;
    }
    return 0;
}

int mpp_comm_vi_chn_destroy(int vi_dev, int vi_chn)
{
    if (!vi_dev_chn_valid(vi_dev, vi_chn))
        return -1;
    int result = 0;
    int ret = SOC_MPI_VI_DisableVirChn(vi_dev, vi_chn);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VI_DisableVirChn vi_dev:%d vi_chn:%d failed! ret:%d ", vi_dev, vi_chn, ret);
        result = -1;
    }
    ret = SOC_MPI_VI_DestoryVirChn(vi_dev, vi_chn);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VI_DestoryVirChn vi_dev:%d vi_chn:%d failed! ret:%d ", vi_dev, vi_chn, ret);
        result = -1;
    }
    return result;
}

/* Binds (or unbinds) a capture channel to a module channel; the failure text
 * names what was being bound. */
static int vi_bind(bool bind, int vi_dev, int vi_chn, MPP_CHN_S dst, const char* failure)
{
    if (!vi_dev_chn_valid(vi_dev, vi_chn))
        return -1;
    MPP_CHN_S src = {MOD_ID_VIU, vi_dev, vi_chn};
    int ret = bind ? SOC_MPI_SYS_Bind(&src, &dst) : SOC_MPI_SYS_UnBind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("%s fail! ret:%d", failure, ret);
        return -1;
    }
    return 0;
}

static int vi_bind_venc(bool bind, int vi_dev, int vi_chn, int venc_chn)
{
    if (!vi_dev_chn_valid(vi_dev, vi_chn))
        return -1;
    MPP_CHN_S src = {MOD_ID_VIU, vi_dev, vi_chn};
    MPP_CHN_S dst = {MOD_ID_VENC, 0, venc_chn};
    int ret = bind ? SOC_MPI_SYS_Bind(&src, &dst) : SOC_MPI_SYS_UnBind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_%s fail! ret:%d  src(%d-%d) dst(%d-%d)", bind ? "Bind" : "UnBind", ret,
                     vi_dev, vi_chn, 0, venc_chn);
        return -1;
    }
    return 0;
}

int mpp_comm_vi_bind_venc(int vi_dev, int vi_chn, int venc_chn)
{
    return vi_bind_venc(true, vi_dev, vi_chn, venc_chn);
}

int mpp_comm_vi_unbind_venc(int vi_dev, int vi_chn, int venc_chn)
{
    return vi_bind_venc(false, vi_dev, vi_chn, venc_chn);
}

int mpp_comm_vi_bind_vo(int vi_dev, int vi_chn, int vo_chn)
{
    return mpp_comm_vi_bind_vo_layer(vi_dev, vi_chn, vo_chn, 2);
}

int mpp_comm_vi_unbind_vo(int vi_dev, int vi_chn, int vo_chn)
{
    return mpp_comm_vi_unbind_vo_layer(vi_dev, vi_chn, vo_chn, 2);
}

int mpp_comm_vi_bind_vo_layer(int vi_dev, int vi_chn, int vo_chn, int vo_layer)
{
    MPP_CHN_S dst = {MOD_ID_VOU, 4 * vo_chn + vo_layer, vo_chn};
    return vi_bind(true, vi_dev, vi_chn, dst, "Do SOC_MPI_SYS_Bind vi bind vo");
}

int mpp_comm_vi_unbind_vo_layer(int vi_dev, int vi_chn, int vo_chn, int vo_layer)
{
    MPP_CHN_S dst = {MOD_ID_VOU, 4 * vo_chn + vo_layer, vo_chn};
    return vi_bind(false, vi_dev, vi_chn, dst, "Do SOC_MPI_SYS_UnBind vi unbind vo");
}

int mpp_comm_vi_bind_ise(int vi_dev, int vi_chn, int ise_grp)
{
    MPP_CHN_S dst = {MOD_ID_ISE, ise_grp, 0};
    return vi_bind(true, vi_dev, vi_chn, dst, "Do SOC_MPI_SYS_Bind vi bind ise");
}

int mpp_comm_vi_unbind_ise(int vi_dev, int vi_chn, int ise_grp)
{
    MPP_CHN_S dst = {MOD_ID_ISE, ise_grp, 0};
    return vi_bind(false, vi_dev, vi_chn, dst, "Do SOC_MPI_SYS_UnBind vi unbind ise");
}
