#include "host/soc/RoadScene.h"

#include "host/soc/Font5x7.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace soc {
namespace {

struct Colour {
    uint8_t y, u, v;
};

constexpr Colour kGrass{78, 112, 124};
constexpr Colour kAsphalt{98, 128, 128};
constexpr Colour kPaint{228, 128, 128};
constexpr Colour kBody{52, 118, 156};
constexpr Colour kGlass{28, 130, 126};
constexpr Colour kTailLight{110, 96, 226};
constexpr Colour kShadow{22, 128, 128};
constexpr Colour kCaptionBox{16, 128, 128};
constexpr Colour kCaption{235, 128, 128};
constexpr Colour kCoat{40, 150, 110};
constexpr Colour kFace{150, 110, 150};
constexpr double kHorizon = 0.42; // of the height
constexpr double kPi = 3.14159265358979323846;

// Sensor grain: a textured row is copied from a strip of noisy luma at an
// offset that changes every row and frame, so texture costs a memcpy.
constexpr int kGrainStrip = 16384;
constexpr int kGrainOffsets = 8192;

class GrainStrip {
public:
    explicit GrainStrip(uint8_t base)
    {
        uint32_t state = 0x9E3779B9u * (base + 1u);
        for (uint8_t& px : _luma) {
            state = state * 1664525u + 1013904223u;
            px = static_cast<uint8_t>(base + static_cast<int>(state >> 28) - 8);
        }
    }
    const uint8_t* At(uint32_t offset) const { return _luma.data() + offset % kGrainOffsets; }

private:
    std::array<uint8_t, kGrainStrip> _luma;
};

// Paints spans in the upright picture and writes them where mirror and flip
// put them in the buffer.
class Painter {
public:
    Painter(uint8_t* y, uint8_t* vu, int width, int height, const SceneShot& shot)
        : _y(y), _vu(vu), _w(width), _h(height), _mirror(shot.mirror), _flip(shot.flip)
    {}

    int Width() const { return _w; }
    int Height() const { return _h; }

    void Span(int row, int x0, int x1, Colour c, const uint8_t* grain = nullptr)
    {
        if (grain && x0 < 0)
            grain -= x0;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, _w);
        if (row < 0 || row >= _h || x0 >= x1)
            return;
        int r = _flip ? _h - 1 - row : row;
        int a = _mirror ? _w - x1 : x0;
        int b = _mirror ? _w - x0 : x1;
        uint8_t* line = _y + static_cast<size_t>(r) * _w;
        if (grain)
            std::memcpy(line + a, grain, b - a);
        else
            std::memset(line + a, c.y, b - a);
        if (r % 2 != 0)
            return;
        uint8_t* chroma = _vu + static_cast<size_t>(r / 2) * _w;
        for (int px = a / 2; px < (b + 1) / 2; px++) {
            chroma[2 * px] = c.v;
            chroma[2 * px + 1] = c.u;
        }
    }

    void Rect(int x0, int y0, int x1, int y1, Colour c)
    {
        for (int row = y0; row < y1; row++)
            Span(row, x0, x1, c);
    }

private:
    uint8_t* _y;
    uint8_t* _vu;
    int _w;
    int _h;
    bool _mirror;
    bool _flip;
};

uint32_t RowNoise(uint32_t frame, int row)
{
    uint32_t v = frame * 2654435761u ^ static_cast<uint32_t>(row) * 40503u;
    v ^= v >> 15;
    return v * 2246822519u;
}

void PaintSky(Painter& p, int horizon)
{
    for (int row = 0; row < horizon; row++) {
        auto shade = static_cast<uint8_t>(205 - 45 * row / std::max(horizon, 1));
        p.Span(row, 0, p.Width(), Colour{shade, 146, 112});
    }
}

// Where the road is at a row: its centre and half width in pixels, and the
// depth (0 at the horizon, 1 at the bottom of the picture).
struct RoadRow {
    double depth;
    double centre;
    double halfWidth;
};

struct Road {
    double t;
    int w;
    int h;
    int horizon;

    RoadRow At(int row) const
    {
        double depth = static_cast<double>(row - horizon + 1) / (h - horizon);
        double bend = 0.10 * std::sin(2 * kPi * t / 17.0);
        double weave = 0.04 * std::sin(2 * kPi * t / 7.0);
        double centre = w * (0.5 + bend * (1 - depth) * (1 - depth) + weave * depth);
        return RoadRow{depth, centre, depth * 0.9 * w};
    }
};

void PaintGround(Painter& p, const Road& road, uint32_t frame)
{
    static const GrainStrip grass(kGrass.y);
    static const GrainStrip asphalt(kAsphalt.y);
    const int w = p.Width();
    for (int row = road.horizon; row < p.Height(); row++) {
        RoadRow r = road.At(row);
        uint32_t noise = RowNoise(frame, row);
        int left = static_cast<int>(r.centre - r.halfWidth);
        int right = static_cast<int>(r.centre + r.halfWidth);
        p.Span(row, 0, left, kGrass, grass.At(noise));
        p.Span(row, right, w, kGrass, grass.At(noise >> 7));
        p.Span(row, left, right, kAsphalt, asphalt.At(noise >> 3));

        int paint = std::max(2, static_cast<int>(r.depth * 0.014 * w));
        // Dashes are laid out along the road's length, which shrinks as 1/depth.
        double along = 3.0 / r.depth + 9.0 * road.t;
        bool dash = std::fmod(along, 2.0) < 1.0;
        for (double lateral : {-0.88, -0.30, 0.30, 0.88}) {
            bool edge = std::fabs(lateral) > 0.5;
            if (!edge && !dash)
                continue;
            int x = static_cast<int>(r.centre + lateral * r.halfWidth);
            p.Span(row, x - paint / 2, x + paint - paint / 2, kPaint);
        }
    }
}

// The vehicle ahead: absent, then approaching, following, falling back and
// gone again, over a 24 s cycle.
double VehicleDepth(double t)
{
    double phase = std::fmod(t, 24.0) / 24.0;
    if (phase < 0.15 || phase > 0.95)
        return 0;
    if (phase < 0.55)
        return 0.05 + 0.40 * (phase - 0.15) / 0.40;
    if (phase < 0.75)
        return 0.45 + 0.03 * std::sin(2 * kPi * (phase - 0.55) / 0.20);
    return 0.45 - 0.40 * (phase - 0.75) / 0.20;
}

void PaintVehicle(Painter& p, const Road& road)
{
    double depth = VehicleDepth(road.t);
    if (depth <= 0)
        return;
    int bottom = road.horizon + static_cast<int>(depth * (p.Height() - road.horizon));
    RoadRow r = road.At(bottom);
    int width = static_cast<int>(0.48 * r.halfWidth);
    int height = width * 3 / 4;
    int left = static_cast<int>(r.centre) - width / 2;
    int top = bottom - height;
    p.Rect(left - width / 20, bottom, left + width + width / 20, bottom + std::max(2, height / 12), kShadow);
    p.Rect(left, top + height / 3, left + width, bottom, kBody);
    p.Rect(left + width / 8, top, left + width - width / 8, top + height / 3, kBody);
    p.Rect(left + width / 5, top + height / 12, left + width - width / 5, top + height / 3, kGlass);
    int lamp = std::max(2, width / 7);
    p.Rect(left + width / 20, top + height / 2, left + width / 20 + lamp, top + height / 2 + lamp / 2, kTailLight);
    p.Rect(left + width - width / 20 - lamp, top + height / 2, left + width - width / 20, top + height / 2 + lamp / 2,
           kTailLight);
}

// Someone close to the camera, walking from the left edge to the right: big
// enough that a motion detector sees the change between frames.
void PaintPasserBy(Painter& p, double across)
{
    if (across < 0)
        return;
    int w = p.Width();
    int h = p.Height();
    int width = w / 8;
    int left = static_cast<int>(-width + across * (w + width));
    int head = width * 2 / 3;
    int top = h * 3 / 10;
    p.Rect(left + (width - head) / 2, top, left + (width + head) / 2, top + head, kFace);
    p.Rect(left, top + head, left + width, h, kCoat);
}

void PaintCaption(Painter& p, const std::string& text)
{
    int scale = std::max(2, p.Height() / 160);
    int margin = 3 * scale;
    int advance = (kGlyphWidth + 1) * scale;
    p.Rect(margin, margin, margin + 2 * scale + advance * static_cast<int>(text.size()),
           margin + (kGlyphHeight + 2) * scale, kCaptionBox);
    for (size_t i = 0; i < text.size(); i++) {
        const uint8_t* rows = Glyph(text[i]);
        int x0 = margin + scale + advance * static_cast<int>(i);
        for (int gy = 0; gy < kGlyphHeight; gy++) {
            for (int gx = 0; gx < kGlyphWidth; gx++) {
                if (rows[gy] & (0x10 >> gx))
                    p.Rect(x0 + gx * scale, margin + (gy + 1) * scale, x0 + (gx + 1) * scale,
                           margin + (gy + 2) * scale, kCaption);
            }
        }
    }
}

} // namespace

void RenderRoadScene(uint8_t* y, uint8_t* vu, int width, int height, const SceneShot& shot)
{
    Painter p(y, vu, width, height, shot);
    Road road{shot.timeSec, width, height, static_cast<int>(kHorizon * height)};
    PaintSky(p, road.horizon);
    PaintGround(p, road, shot.frameNumber);
    PaintVehicle(p, road);
    PaintPasserBy(p, shot.passerBy);
    char counter[16];
    std::snprintf(counter, sizeof(counter), " %06u", shot.frameNumber);
    PaintCaption(p, shot.label + counter);
}

} // namespace soc
