#pragma once
// One decoder on FFmpeg's libavcodec (H.265 or H.264): whole access units in,
// pictures out as NV21, scaled down and turned clockwise as asked.

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace soc {

struct DecodedPicture {
    std::vector<uint8_t> pixels; // Y plane, then interleaved V/U; line length = width
    int width = 0;
    int height = 0;
    uint64_t pts = 0;
};

class VdecCodec {
public:
    VdecCodec() = default;
    ~VdecCodec();
    VdecCodec(const VdecCodec&) = delete;
    VdecCodec& operator=(const VdecCodec&) = delete;

    // quarterTurns: clockwise turns of 90°; scaleDownShift: halvings of each side.
    bool Open(bool h265, int quarterTurns, int scaleDownShift);
    // Decodes one unit (or, with no bytes, drains the decoder); the pictures
    // that come out are appended to out, each built in a spare of spares.
    bool Decode(const uint8_t* data, size_t length, uint64_t pts, std::vector<DecodedPicture>& out,
                std::vector<std::vector<uint8_t>>& spares);
    // Forgets the pictures in flight, as after a seek.
    void Flush();

private:
    void Convert(const AVFrame& frame, DecodedPicture& picture);

    AVCodecContext* _ctx = nullptr;
    AVFrame* _frame = nullptr;
    AVFrame* _scaled = nullptr;
    AVPacket* _packet = nullptr;
    SwsContext* _sws = nullptr;
    int _quarterTurns = 0;
    int _shift = 0;
};

} // namespace soc
