#include "host/soc/VdecCodec.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace soc {

namespace {

// Calls f(row, column, sourceRow, sourceColumn) for every point of a picture
// that is the source (sw × sh) turned clockwise by quarterTurns.
template <typename F>
void ForEachTurned(int sw, int sh, int quarterTurns, F f)
{
    bool across = quarterTurns % 2 == 1;
    int dw = across ? sh : sw;
    int dh = across ? sw : sh;
    for (int r = 0; r < dh; r++) {
        for (int c = 0; c < dw; c++) {
            switch (quarterTurns) {
            case 1: f(r, c, sh - 1 - c, r); break;
            case 2: f(r, c, sh - 1 - r, sw - 1 - c); break;
            case 3: f(r, c, c, sw - 1 - r); break;
            default: f(r, c, r, c); break;
            }
        }
    }
}

} // namespace

VdecCodec::~VdecCodec()
{
    sws_freeContext(_sws);
    av_packet_free(&_packet);
    av_frame_free(&_scaled);
    av_frame_free(&_frame);
    avcodec_free_context(&_ctx);
}

bool VdecCodec::Open(bool h265, int quarterTurns, int scaleDownShift)
{
    av_log_set_level(AV_LOG_QUIET); // a stream cut at a seek makes the decoder complain
    const AVCodec* codec = avcodec_find_decoder(h265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    if (codec == nullptr)
        return false;
    _quarterTurns = quarterTurns & 3;
    _shift = scaleDownShift;
    _ctx = avcodec_alloc_context3(codec);
    _ctx->thread_count = 2;
    _ctx->pkt_timebase = AVRational{1, 1000000};
    if (avcodec_open2(_ctx, codec, nullptr) < 0)
        return false;
    _frame = av_frame_alloc();
    _scaled = av_frame_alloc();
    _packet = av_packet_alloc();
    return _frame != nullptr && _scaled != nullptr && _packet != nullptr;
}

void VdecCodec::Flush()
{
    if (_ctx != nullptr)
        avcodec_flush_buffers(_ctx);
}

bool VdecCodec::Decode(const uint8_t* data, size_t length, uint64_t pts, std::vector<DecodedPicture>& out,
                       std::vector<std::vector<uint8_t>>& spares)
{
    if (_ctx == nullptr)
        return false;
    AVPacket* packet = nullptr;
    if (length > 0) {
        av_packet_unref(_packet);
        if (av_new_packet(_packet, static_cast<int>(length)) < 0)
            return false;
        std::copy(data, data + length, _packet->data);
        _packet->pts = static_cast<int64_t>(pts);
        packet = _packet;
    }
    int sent = avcodec_send_packet(_ctx, packet);
    if (sent < 0 && sent != AVERROR_EOF)
        return false; // a broken unit: the decoder goes on with the next
    for (;;) {
        int ret = avcodec_receive_frame(_ctx, _frame);
        if (ret == AVERROR(EAGAIN))
            return true;
        if (ret == AVERROR_EOF) {
            avcodec_flush_buffers(_ctx); // ready for the stream to go on
            return true;
        }
        if (ret < 0)
            return false;
        DecodedPicture picture;
        if (!spares.empty()) {
            picture.pixels = std::move(spares.back());
            spares.pop_back();
        }
        picture.pts = _frame->best_effort_timestamp != AV_NOPTS_VALUE
                          ? static_cast<uint64_t>(_frame->best_effort_timestamp)
                          : pts;
        Convert(*_frame, picture);
        av_frame_unref(_frame);
        out.push_back(std::move(picture));
    }
}

void VdecCodec::Convert(const AVFrame& frame, DecodedPicture& picture)
{
    int sw = std::max(2, (frame.width >> _shift) & ~1);
    int sh = std::max(2, (frame.height >> _shift) & ~1);
    if (_scaled->width != sw || _scaled->height != sh) {
        av_frame_unref(_scaled);
        _scaled->format = AV_PIX_FMT_YUV420P;
        _scaled->width = sw;
        _scaled->height = sh;
        av_frame_get_buffer(_scaled, 0);
    }
    _sws = sws_getCachedContext(_sws, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), sw, sh,
                                AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    sws_scale(_sws, frame.data, frame.linesize, 0, frame.height, _scaled->data, _scaled->linesize);

    bool across = _quarterTurns % 2 == 1;
    picture.width = across ? sh : sw;
    picture.height = across ? sw : sh;
    size_t luma = static_cast<size_t>(sw) * sh;
    picture.pixels.resize(luma * 3 / 2);
    uint8_t* y = picture.pixels.data();
    uint8_t* vu = y + luma;
    const AVFrame& s = *_scaled;
    int dw = picture.width;
    ForEachTurned(sw, sh, _quarterTurns, [&](int r, int c, int sr, int sc) {
        y[static_cast<size_t>(r) * dw + c] = s.data[0][sr * s.linesize[0] + sc];
    });
    ForEachTurned(sw / 2, sh / 2, _quarterTurns, [&](int r, int c, int sr, int sc) {
        uint8_t* pair = vu + static_cast<size_t>(r) * dw + 2 * c;
        pair[0] = s.data[2][sr * s.linesize[2] + sc];
        pair[1] = s.data[1][sr * s.linesize[1] + sc];
    });
}

} // namespace soc
