#include "mpp_comm/mpp_comm_venc.h"

#include "mpp_comm/mpp_comm_log.h"
#include "mpp_comm/soc_sys.h"

#include <glib.h>
#include <stdbool.h>
#include <string.h>

#define VENC_CFG(sw, sh, dw, dh, sfps, dfps, rate, gop_len, qp_max, qp_min)                     \
    {                                                                                           \
        .src_width = (sw), .src_height = (sh), .dst_width = (dw), .dst_height = (dh),           \
        .src_fps = (sfps), .dst_fps = (dfps), .bitrate = (rate), .gop = (gop_len),              \
        .max_qp = (qp_max), .min_qp = (qp_min), .is_by_frame = 1, .field = VIDEO_FIELD_FRAME,   \
        .pixel_format = MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420                                      \
    }

/* The names give nominal figures; these are the values the encoders get. */
static const VENC_CFG_S g_venc_cfg[VENC_CFG_BOTTON] = {
    VENC_CFG(640, 480, 640, 480, 27, 27, 1000000, 27, 40, 10),
    VENC_CFG(720, 576, 720, 576, 27, 27, 2000000, 27, 40, 10),
    VENC_CFG(1280, 720, 1280, 720, 25, 25, 4000000, 25, 40, 10),
    VENC_CFG(1280, 720, 1280, 720, 27, 27, 3700000, 27, 40, 10),
    VENC_CFG(1280, 720, 720, 576, 27, 27, 2000000, 27, 40, 10),
    VENC_CFG(1920, 1080, 1920, 1080, 30, 30, 5000000, 30, 51, 1),
    VENC_CFG(1920, 1080, 1920, 1080, 25, 25, 8000000, 30, 40, 10),
    VENC_CFG(1920, 1080, 1280, 720, 27, 27, 4000000, 27, 40, 10),
    VENC_CFG(1920, 1080, 720, 576, 27, 27, 2000000, 27, 40, 10),
    VENC_CFG(2304, 1296, 2304, 1296, 27, 27, 12000000, 27, 40, 10),
    VENC_CFG(2560, 1440, 2560, 1440, 28, 28, 10000000, 30, 51, 1),
    VENC_CFG(3840, 2160, 3840, 2160, 25, 25, 18000000, 25, 40, 10),
    VENC_CFG(3840, 2160, 3840, 2160, 27, 27, 18300000, 27, 40, 10),
    VENC_CFG(2880, 2160, 2880, 2160, 27, 27, 12000000, 27, 40, 10),
    VENC_CFG(2592, 1944, 2592, 1944, 27, 27, 10000000, 27, 40, 10),
    VENC_CFG(1024, 1024, 1024, 1024, 27, 27, 4000000, 27, 40, 10),
    VENC_CFG(2048, 2048, 2048, 2048, 27, 27, 10000000, 27, 40, 10),
    VENC_CFG(2048, 512, 2048, 512, 27, 27, 8000000, 27, 40, 10),
    VENC_CFG(4096, 1024, 4096, 1024, 27, 27, 10000000, 27, 40, 10),
    VENC_CFG(3840, 1920, 3840, 1920, 25, 15, 8000000, 15, 40, 10),
    VENC_CFG(1280, 640, 1280, 640, 25, 25, 4000000, 25, 40, 10),
    VENC_CFG(3840, 1080, 3840, 1080, 25, 25, 8000000, 25, 40, 10),
    VENC_CFG(1920, 540, 1920, 540, 25, 25, 4000000, 25, 40, 10),
    VENC_CFG(640, 360, 640, 360, 30, 30, 500000, 30, 40, 10),
    VENC_CFG(960, 540, 640, 360, 30, 30, 500000, 30, 40, 10),
    VENC_CFG(2560, 1440, 2560, 1440, 9, 9, 6000000, 9, 40, 10),
    VENC_CFG(1920, 2160, 1920, 2160, 27, 27, 8400000, 27, 51, 1),
    VENC_CFG(2560, 1440, 2304, 1296, 27, 27, 4000000, 30, 51, 1),
    VENC_CFG(2560, 1440, 1920, 1080, 27, 27, 4000000, 30, 51, 1),
    VENC_CFG(2560, 1440, 1440, 720, 27, 27, 4000000, 30, 51, 1),
};

#define RC_MODES 4

/* Rate-control mode by payload and mode number 0-3; BUTT is unsupported. */
static const struct {
    int payload;
    const char* name;
    VENC_RC_MODE_E modes[RC_MODES];
} g_rc_modes[] = {
    {PT_H264, "H264", {VENC_RC_MODE_H264CBR, VENC_RC_MODE_H264VBR, VENC_RC_MODE_H264FIXQP, VENC_RC_MODE_H264ABR}},
    {PT_H265, "H265", {VENC_RC_MODE_H265CBR, VENC_RC_MODE_H265VBR, VENC_RC_MODE_H265FIXQP, VENC_RC_MODE_BUTT}},
    {PT_MJPEG, "MJPEG",
     {VENC_RC_MODE_MJPEGCBR, VENC_RC_MODE_MJPEGVBR, VENC_RC_MODE_MJPEGFIXQP, VENC_RC_MODE_MJPEGABR}},
};

static char* g_stream_buf[MPP_COMM_VENC_MAX_CHN];
static SOC_CALLBACK_S g_venc_cbInfo = {NULL, mpp_comm_venc_callback};

int mpp_comm_venc_get_cfg(VENC_CFG_TYPE_E type, VENC_CFG_S* p_venc_cfg)
{
    if (p_venc_cfg == NULL) {
        MPP_COMM_ERR("Input p_venc_cfg is NULL!");
        return -1;
    }
    if ((int)type < 0 || type >= VENC_CFG_BOTTON) {
        MPP_COMM_ERR("Input venc_type:%d is not support!", type);
        return -1;
    }
    *p_venc_cfg = g_venc_cfg[type];
    return 0;
}

int venc_get_rc_enum(int payload, int rc_mode, VENC_RC_MODE_E* p_rc_enum)
{
    if (p_rc_enum == NULL) {
        MPP_COMM_ERR("Input p_rc_enum is null!");
        return -1;
    }
    if (payload == PT_JPEG)
        return 0;
    for (size_t i = 0; i < sizeof(g_rc_modes) / sizeof(g_rc_modes[0]); i++) {
        if (g_rc_modes[i].payload != payload)
            continue;
        *p_rc_enum = (rc_mode >= 0 && rc_mode < RC_MODES) ? g_rc_modes[i].modes[rc_mode] : VENC_RC_MODE_BUTT;
        if (*p_rc_enum == VENC_RC_MODE_BUTT) {
            MPP_COMM_ERR("%s Don't support this rc_mode:%d !", g_rc_modes[i].name, rc_mode);
            return -1;
        }
        return 0;
    }
    MPP_COMM_ERR("Input venc_type:%d error!", payload);
    return -1;
}

static void venc_fill_h264(VENC_CHN_ATTR_S* attr, int profile, VENC_RC_MODE_E rc, const VENC_CFG_S* cfg)
{
    VENC_ATTR_H264_S* h264 = &attr->VeAttr.AttrH264e;
    h264->Profile = profile;
    h264->bByFrame = cfg->is_by_frame;
    h264->PicWidth = cfg->dst_width;
    h264->PicHeight = cfg->dst_height;
    h264->mLevel = H264_LEVEL_51;
    h264->mbPIntraEnable = 1;
    VENC_RC_ATTR_S* rcAttr = &attr->RcAttr;
    rcAttr->mRcMode = rc;
    if (rc == VENC_RC_MODE_H264ABR)
        return;
    rcAttr->mGop = cfg->gop;
    rcAttr->mSrcFrmRate = cfg->src_fps;
    rcAttr->mDstFrmRate = cfg->dst_fps;
    if (rc == VENC_RC_MODE_H264FIXQP) {
        rcAttr->mIQp = (cfg->max_qp + cfg->min_qp) / 2;
        rcAttr->mPQp = rcAttr->mIQp;
        return;
    }
    rcAttr->mBitRate = cfg->bitrate;
    if (rc == VENC_RC_MODE_H264VBR) {
        rcAttr->mMaxQp = cfg->max_qp;
        rcAttr->mMinQp = cfg->min_qp;
    }
}

/* H.265 always runs at constant bitrate, whatever mode and profile are asked. */
static void venc_fill_h265(VENC_CHN_ATTR_S* attr, const VENC_CFG_S* cfg)
{
    VENC_ATTR_H265_S* h265 = &attr->VeAttr.AttrH265e;
    h265->mProfile = 0;
    h265->mbByFrame = cfg->is_by_frame;
    h265->mPicWidth = cfg->dst_width;
    h265->mPicHeight = cfg->dst_height;
    h265->mLevel = H265_LEVEL_62;
    h265->mbPIntraEnable = 1;
    VENC_RC_ATTR_S rc = {VENC_RC_MODE_H265CBR, cfg->gop, cfg->src_fps, cfg->dst_fps, cfg->bitrate,
                         cfg->max_qp, cfg->min_qp, 0, 0};
    attr->RcAttr = rc;
    attr->GopAttr.enGopMode = VENC_GOPMODE_NORMALP;
    attr->GopAttr.mGopSize = cfg->gop;
}

static int venc_fill_attr(VENC_CHN_ATTR_S* attr, int payload, VENC_RC_MODE_E rc, int profile, int rotate,
                          const VENC_CFG_S* cfg)
{
    memset(attr, 0, sizeof(*attr));
    attr->VeAttr.Type = (PAYLOAD_TYPE_E)payload;
    attr->VeAttr.MaxKeyInterval = cfg->gop;
    attr->VeAttr.SrcPicWidth = cfg->src_width;
    attr->VeAttr.SrcPicHeight = cfg->src_height;
    attr->VeAttr.Field = cfg->field;
    attr->VeAttr.PixelFormat = cfg->pixel_format;
    attr->VeAttr.mColorSpace = 3; /* REC709 */
    attr->VeAttr.Rotate = rotate;
    switch (payload) {
    case PT_H264:
        venc_fill_h264(attr, profile, rc, cfg);
        return 0;
    case PT_H265:
        venc_fill_h265(attr, cfg);
        return 0;
    case PT_MJPEG:
        attr->VeAttr.AttrMjpeg.mbByFrame = cfg->is_by_frame;
        attr->VeAttr.AttrMjpeg.mPicWidth = cfg->dst_width;
        attr->VeAttr.AttrMjpeg.mPicHeight = cfg->dst_height;
        attr->RcAttr.mRcMode = rc;
        attr->RcAttr.mBitRate = cfg->bitrate;
        return 0;
    case PT_JPEG:
        attr->VeAttr.AttrJpeg.MaxPicWidth = cfg->src_width;
        attr->VeAttr.AttrJpeg.MaxPicHeight = cfg->src_width;
        attr->VeAttr.AttrJpeg.bByFrame = 1;
        attr->VeAttr.AttrJpeg.PicWidth = cfg->dst_width;
        attr->VeAttr.AttrJpeg.PicHeight = cfg->dst_height;
        return 0;
    default:
        MPP_COMM_ERR("Input venc_type:%d is not support!", payload);
        return -1;
    }
}

int mpp_comm_venc_create(int venc_chn, int payload, int rc_mode, int profile, int rotate, VENC_CFG_S* venc_cfg)
{
    if (venc_cfg == NULL) {
        MPP_COMM_ERR("Input venc_cfg is null!");
        return -1;
    }
    VENC_RC_MODE_E rc = VENC_RC_MODE_BUTT;
    int ret = venc_get_rc_enum(payload, rc_mode, &rc);
    if (ret != 0) {
        MPP_COMM_ERR("Do venc_get_rc_enum fail! ret:%d ", ret);
        return -1;
    }
    VENC_CHN_ATTR_S attr;
    if (venc_fill_attr(&attr, payload, rc, profile, rotate, venc_cfg) != 0)
        return -1;
    MPP_COMM_OK("==== SrcPicWidth:%d  SrcPicHeight:%d  dst_width:%d  dst_height:%d ====", venc_cfg->src_width,
                venc_cfg->src_height, venc_cfg->dst_width, venc_cfg->dst_height);
    ret = SOC_MPI_VENC_CreateChn(venc_chn, &attr);
    if (ret != 0) {
        if ((unsigned)ret == SOC_ERR_VENC_EXIST)
            MPP_COMM_ERR("venc channel[%d] is exist, find next!", venc_chn);
        else
            MPP_COMM_ERR("create venc channel[%d] ret[0x%x], find next!", venc_chn, ret);
        MPP_COMM_ERR("fatal error! create venc channel fail!");
        return -1;
    }
    MPP_COMM_OK("create venc channel[%d] success!", venc_chn);
    VENC_FRAME_RATE_S rate = {venc_cfg->dst_fps, venc_cfg->dst_fps};
    SOC_MPI_VENC_SetFrameRate(venc_chn, &rate);
    SOC_MPI_VENC_RegisterCallback(venc_chn, &g_venc_cbInfo);
    return 0;
}

int mpp_comm_venc_destroy(int venc_chn)
{
    int ret = SOC_MPI_VENC_ResetChn(venc_chn);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VENC_ResetChn fail! venc_chn:%d ret:%d ", venc_chn, ret);
    ret = SOC_MPI_VENC_DestroyChn(venc_chn);
    if (ret != 0)
        MPP_COMM_ERR("Do SOC_MPI_VENC_DestroyChn fail! venc_chn:%d ret:%d ", venc_chn, ret);
    for (int i = 0; i < MPP_COMM_VENC_MAX_CHN; i++) {
        g_free(g_stream_buf[i]);
        g_stream_buf[i] = NULL;
    }
    return ret;
}

/* Takes one unit from the channel: its pack, and for a key frame the
 * parameter sets. On 0 the caller releases the stream. */
static int venc_take_unit(int venc_chn, int payload, int timeout_ms, VENC_STREAM_S* stream, VENC_HEADER_DATA_S* header,
                          int* key_frame)
{
    memset(header, 0, sizeof(*header));
    int ret = SOC_MPI_VENC_GetStream(venc_chn, stream, timeout_ms);
    if (ret != 0)
        return ret;
    const VENC_PACK_S* pack = stream->mpPack;
    if (payload == PT_JPEG || payload == PT_MJPEG || pack->mLen0 == 0)
        return 0;
    bool h264 = payload == PT_H264;
    if (!h264 && payload != PT_H265) {
        SOC_MPI_VENC_ReleaseStream(venc_chn, stream);
        MPP_COMM_ERR("Do venc_chn:%d input venc_type:%d not support!", venc_chn, payload);
        return -1;
    }
    if (pack->mDataType == (h264 ? 5 : 19)) {
        ret = h264 ? SOC_MPI_VENC_GetH264SpsPpsInfo(venc_chn, header)
                   : SOC_MPI_VENC_GetH265SpsPpsInfo(venc_chn, header);
        if (ret != 0) {
            MPP_COMM_ERR("Do SOC_MPI_VENC_GetH%dSpsPpsInfo fail! ret:%d ", h264 ? 264 : 265, ret);
            memset(header, 0, sizeof(*header));
        }
        *key_frame = 1;
    } else if (pack->mDataType == 1) {
        *key_frame = 0;
    }
    return 0;
}

static bool venc_out_valid(int venc_chn, char** buf, int* len, uint64_t* pts, int* key_frame)
{
    if (venc_chn < 0 || venc_chn >= MPP_COMM_VENC_MAX_CHN) {
        MPP_COMM_ERR("Input venc_chn:%d error!", venc_chn);
        return false;
    }
    if (buf == NULL || len == NULL || pts == NULL || key_frame == NULL) {
        MPP_COMM_ERR("Input param is NULL! buf:%p len:%p pts:%p frame_type:%p ", (void*)buf, (void*)len, (void*)pts,
                     (void*)key_frame);
        return false;
    }
    return true;
}

static char* venc_copy_parts(char* out, const VENC_PACK_S* pack)
{
    memcpy(out, pack->mpAddr0, pack->mLen0);
    if (pack->mLen1 > 0)
        memcpy(out + pack->mLen0, pack->mpAddr1, pack->mLen1);
    return out;
}

int mpp_comm_venc_get_stream_to_new_buffer(int venc_chn, int payload, int timeout_ms, char** buf, int* len,
                                           uint64_t* pts, int* key_frame)
{
    if (!venc_out_valid(venc_chn, buf, len, pts, key_frame))
        return -1;
    *len = 0;
    VENC_PACK_S pack;
    VENC_STREAM_S stream = {&pack, 1, 0};
    VENC_HEADER_DATA_S header;
    int ret = venc_take_unit(venc_chn, payload, timeout_ms, &stream, &header, key_frame);
    if (ret != 0)
        return ret;
    if (pack.mLen0 != 0) {
        *pts = pack.mPTS;
        *len = (int)(header.nLength + pack.mLen0 + pack.mLen1);
        *buf = (char*)g_malloc(*len);
        if (header.nLength > 0)
            memcpy(*buf, header.pBuffer, header.nLength);
        venc_copy_parts(*buf + header.nLength, &pack);
    }
    SOC_MPI_VENC_ReleaseStream(venc_chn, &stream);
    return 0;
}

int mpp_comm_venc_get_stream(int venc_chn, int payload, int timeout_ms, char** buf, int* len, uint64_t* pts,
                             int* key_frame, VENC_HEADER_DATA_S* header)
{
    if (!venc_out_valid(venc_chn, buf, len, pts, key_frame) || header == NULL)
        return -1;
    *len = 0;
    VENC_PACK_S pack;
    VENC_STREAM_S stream = {&pack, 1, 0};
    int ret = venc_take_unit(venc_chn, payload, timeout_ms, &stream, header, key_frame);
    if (ret != 0)
        return ret;
    if (pack.mLen0 != 0) {
        uint32_t size = pack.mLen0 + pack.mLen1;
        if (size > MPP_COMM_VENC_STREAM_BUF_SIZE) {
            SOC_MPI_VENC_ReleaseStream(venc_chn, &stream);
            MPP_COMM_ERR("venc_chn:%d stream len:%u is larger than its buffer!", venc_chn, size);
            return -1;
        }
        if (g_stream_buf[venc_chn] == NULL)
            g_stream_buf[venc_chn] = (char*)g_malloc(MPP_COMM_VENC_STREAM_BUF_SIZE);
        *pts = pack.mPTS;
        *len = (int)size;
        *buf = venc_copy_parts(g_stream_buf[venc_chn], &pack);
    }
    SOC_MPI_VENC_ReleaseStream(venc_chn, &stream);
    return 0;
}

int mpp_comm_venc_get_snap(int venc_chn, char* buf, VENC_CFG_S* venc_cfg)
{
    (void)venc_chn;
    (void)buf;
    (void)venc_cfg;
    return 0;
}

static int venc_bind_mux(bool bind, int venc_chn, int mux_grp)
{
    MPP_CHN_S src = {MOD_ID_VENC, 0, venc_chn};
    MPP_CHN_S dst = {MOD_ID_MUX, 0, mux_grp};
    int ret = bind ? SOC_MPI_SYS_Bind(&src, &dst) : SOC_MPI_SYS_UnBind(&src, &dst);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_%s venc_chn:%d %s mux_grp:%d fail! ret:0x%x", bind ? "Bind" : "UnBind", venc_chn,
                     bind ? "bind" : "unbind", mux_grp, ret);
        return -1;
    }
    return 0;
}

int mpp_comm_venc_bind_mux(int venc_chn, int mux_grp)
{
    return venc_bind_mux(true, venc_chn, mux_grp);
}

int mpp_comm_venc_unbind_mux(int venc_chn, int mux_grp)
{
    return venc_bind_mux(false, venc_chn, mux_grp);
}

int mpp_comm_venc_callback(void* cookie, MPP_CHN_S* pChn, int event, void* pEventData)
{
    (void)cookie;
    (void)pEventData;
    if (pChn == NULL || event == 1)
        return 0;
    printf("[FUN]%s [LINE]%d   pChn->mModId:%d ChnId=%d event=%d \n", __func__, __LINE__, pChn->mModId, pChn->mChnId,
           event);
    return 0;
}
