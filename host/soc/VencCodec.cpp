#include "host/soc/VencCodec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace soc {

VencCodec::~VencCodec()
{
    sws_freeContext(_sws);
    av_packet_free(&_packet);
    av_frame_free(&_frame);
    avcodec_free_context(&_ctx);
}

bool VencCodec::Open(const EncoderSettings& s)
{
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name(s.h265 ? "libx265" : "libx264");
    if (codec == nullptr || s.width <= 0 || s.height <= 0 || s.fps <= 0)
        return false;
    _ctx = avcodec_alloc_context3(codec);
    _ctx->width = s.width;
    _ctx->height = s.height;
    _ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    _ctx->time_base = AVRational{1, s.fps};
    _ctx->framerate = AVRational{s.fps, 1};
    _ctx->gop_size = s.gop;
    _ctx->max_b_frames = 0;
    _ctx->bit_rate = s.bitrate;
    _ctx->rc_max_rate = s.bitrate;
    _ctx->rc_buffer_size = s.bitrate;
    if (s.maxQp > 0) {
        _ctx->qmin = s.minQp;
        _ctx->qmax = s.maxQp;
    }
    _ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(_ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(_ctx->priv_data, "tune", "zerolatency", 0);
    std::string gop = std::to_string(s.gop);
    std::string params = "keyint=" + gop + ":min-keyint=" + gop + ":scenecut=0";
    if (s.h265) {
        params += ":log-level=error:open-gop=0";
        if (s.threads > 0)
            params += ":frame-threads=1:pools=" + std::to_string(s.threads);
        av_opt_set(_ctx->priv_data, "x265-params", params.c_str(), 0);
    } else {
        av_opt_set(_ctx->priv_data, "x264-params", params.c_str(), 0);
        _ctx->thread_count = s.threads;
    }
    if (avcodec_open2(_ctx, codec, nullptr) < 0)
        return false;
    _header.assign(_ctx->extradata, _ctx->extradata + _ctx->extradata_size);
    _frame = av_frame_alloc();
    _frame->format = AV_PIX_FMT_YUV420P;
    _frame->width = s.width;
    _frame->height = s.height;
    _packet = av_packet_alloc();
    return av_frame_get_buffer(_frame, 0) == 0;
}

bool VencCodec::Encode(const uint8_t* y, const uint8_t* vu, int width, int height, int stride, uint64_t pts,
                       std::vector<EncodedUnit>& out)
{
    if (_ctx == nullptr || av_frame_make_writable(_frame) < 0)
        return false;
    _sws = sws_getCachedContext(_sws, width, height, AV_PIX_FMT_NV21, _ctx->width, _ctx->height,
                                AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (_sws == nullptr)
        return false;
    const uint8_t* planes[2] = {y, vu};
    const int strides[2] = {stride, stride};
    sws_scale(_sws, planes, strides, 0, height, _frame->data, _frame->linesize);
    _frame->pts = _frameIndex++;
    _pendingPts.push_back(pts);
    if (avcodec_send_frame(_ctx, _frame) < 0)
        return false;
    return Drain(out);
}

bool VencCodec::Drain(std::vector<EncodedUnit>& out)
{
    for (;;) {
        int ret = avcodec_receive_packet(_ctx, _packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return true;
        if (ret < 0)
            return false;
        EncodedUnit unit;
        unit.bytes = std::make_shared<const std::vector<uint8_t>>(_packet->data, _packet->data + _packet->size);
        unit.key = (_packet->flags & AV_PKT_FLAG_KEY) != 0;
        // No reordering at these settings: units leave in the order pictures came.
        if (!_pendingPts.empty()) {
            unit.pts = _pendingPts.front();
            _pendingPts.pop_front();
        }
        out.push_back(std::move(unit));
        av_packet_unref(_packet);
    }
}

} // namespace soc
