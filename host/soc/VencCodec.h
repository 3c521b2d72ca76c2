#pragma once
// One encoder on FFmpeg's libavcodec (libx265 for H.265, libx264 for H.264)
// at its fastest settings: NV21 pictures in, Annex B units out, the parameter
// sets kept apart. Key frames come exactly every GOP.

#include <cstdint>
#include <memory>
#include <deque>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace soc {

struct EncoderSettings {
    bool h265 = true;
    int width = 0;  // the encoded picture
    int height = 0;
    int fps = 30;
    int gop = 30;
    int bitrate = 0;
    int minQp = 0;
    int maxQp = 0;
    int threads = 0; // 0: as many as the library likes
};

struct EncodedUnit {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    uint64_t pts = 0;
    bool key = false;
};

class VencCodec {
public:
    VencCodec() = default;
    ~VencCodec();
    VencCodec(const VencCodec&) = delete;
    VencCodec& operator=(const VencCodec&) = delete;

    bool Open(const EncoderSettings& settings);
    // Encodes a picture of any size (scaled to the settings' size); the units
    // that come out are appended to out.
    bool Encode(const uint8_t* y, const uint8_t* vu, int width, int height, int stride, uint64_t pts,
                std::vector<EncodedUnit>& out);
    const std::vector<uint8_t>& Header() const { return _header; }

private:
    bool Drain(std::vector<EncodedUnit>& out);

    AVCodecContext* _ctx = nullptr;
    AVFrame* _frame = nullptr;
    AVPacket* _packet = nullptr;
    SwsContext* _sws = nullptr;
    int64_t _frameIndex = 0;
    std::deque<uint64_t> _pendingPts; // in the order pictures went in
    std::vector<uint8_t> _header;
};

} // namespace soc
