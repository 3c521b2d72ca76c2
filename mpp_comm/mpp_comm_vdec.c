#include "mpp_comm/mpp_comm_vdec.h"

#include "mpp_comm/mpp_comm_log.h"
#include "mpp_comm/soc_sys.h"

#include <string.h>

/* The caller's callback is not used: the player registers its own handler. */
int mpp_comm_vdec_create(int vdec_chn, const VDEC_CFG_S* vdec_cfg, SOC_CALLBACK_S* cb_info)
{
    (void)cb_info;
    if (vdec_chn < 0 || vdec_chn >= MPP_COMM_VDEC_MAX_CHN) {
        MPP_COMM_ERR("Input vdec_chn:%d is error! 0~%d ", vdec_chn, MPP_COMM_VDEC_MAX_CHN);
        return -1;
    }
    if (vdec_cfg == NULL) {
        MPP_COMM_ERR("Input vdec_cfg is NULL!");
        return -1;
    }
    VDEC_CHN_ATTR_S attr;
    memset(&attr, 0, sizeof(attr));
    attr.mType = vdec_cfg->codec_type;
    attr.mBufSize = MPP_COMM_VDEC_BUF_SIZE;
    attr.mPriority = 0;
    attr.mPicWidth = vdec_cfg->width;
    attr.mPicHeight = (vdec_cfg->height + 31) / 32 * 32;
    attr.mInitRotation = vdec_cfg->rotation;
    attr.mOutputPixelFormat = MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420;
    attr.mSubPicEnable = 0;
    attr.mVideoMode = VIDEO_MODE_FRAME;
    attr.mRefFrameNum = 0;
    attr.mSupportBFrame = 0;
    int ret = SOC_MPI_VDEC_CreateChn(vdec_chn, &attr);
    if ((unsigned)ret == SOC_ERR_VDEC_EXIST) {
        MPP_COMM_ERR("Vdec chn[%d] is exist, find next!", vdec_chn);
        return -1;
    }
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VDEC_CreateChn fail! vdec_chn:%d ret:0x%x", vdec_chn, ret);
        return -1;
    }
    MPP_COMM_OK("Create vdec_chn:%d success!", vdec_chn);
    return 0;
}

int mpp_comm_vdec_destroy(int vdec_chn)
{
    int ret = SOC_MPI_VDEC_DestroyChn(vdec_chn);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_VDEC_DestroyChn fail! vdec_chn:%d ret:0x%x", vdec_chn, ret);
        return -1;
    }
    return 0;
}

static void vdec_vo_chns(int vdec_chn, int vo_chn, MPP_CHN_S* src, MPP_CHN_S* dst)
{
    src->mModId = MOD_ID_VDEC;
    src->mDevId = 0;
    src->mChnId = vdec_chn;
    dst->mModId = MOD_ID_VOU;
    dst->mDevId = vo_chn * 4;
    dst->mChnId = 0;
}

int mpp_comm_vdec_bind_vo(int vdec_chn, int vo_chn)
{
    MPP_CHN_S src, dst;
    vdec_vo_chns(vdec_chn, vo_chn, &src, &dst);
    int ret = SOC_MPI_SYS_Bind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_Bind vdec_chn:%d bind vo_chn:%d fail! ret:0x%x", vdec_chn, vo_chn, ret);
        return -1;
    }
    return 0;
}

int mpp_comm_vdec_unbind_vo(int vdec_chn, int vo_chn)
{
    MPP_CHN_S src, dst;
    vdec_vo_chns(vdec_chn, vo_chn, &src, &dst);
    int ret = SOC_MPI_SYS_UnBind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_UnBind vdec_chn:%d unbind vo_chn:%d fail! ret:0x%x", vdec_chn, vo_chn, ret);
        return -1;
    }
    return 0;
}
