#include "RoadFrame.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/LaneCore.h"
#include "host/png/PngFile.h"

#include <algorithm>
#include <cstdlib>

namespace adastest {

RoadFrame::RoadFrame(uint8_t sky, uint8_t road)
{
    std::fill(y.begin(), y.begin() + VANISH_Y * W, sky);
    std::fill(y.begin() + VANISH_Y * W, y.end(), road);
}

void RoadFrame::Marking(int bottomX, uint8_t luma)
{
    for (int row = VANISH_Y; row < H; row++) {
        double depth = static_cast<double>(row - VANISH_Y) / (H - 1 - VANISH_Y);
        int centre = VANISH_X + static_cast<int>((bottomX - VANISH_X) * depth);
        int half = 1 + static_cast<int>(6 * depth);
        for (int x = std::max(0, centre - half); x <= std::min(W - 1, centre + half); x++)
            y[row * W + x] = luma;
    }
}

RoadFrame RoadFrame::Lane(int leftBottomX, int rightBottomX)
{
    RoadFrame frame;
    frame.Marking(leftBottomX);
    frame.Marking(rightBottomX);
    return frame;
}

RoadFrame RoadFrame::VehicleAhead(int bottom, int width)
{
    RoadFrame frame;
    int left = VANISH_X - width / 2;
    int top = bottom - 7 * width / 10;
    // Sides a pixel soft, as a lens draws them.
    frame.Box(left - 1, top, left + width + 1, bottom, 57);
    frame.Box(left, top, left + width, bottom, 25);
    frame.Box(left - 4, bottom, left + width + 4, bottom + 6, 8);
    return frame;
}

void RoadFrame::Box(int x0, int y0, int x1, int y1, uint8_t luma, uint8_t v)
{
    for (int row = std::max(0, y0); row < std::min(H, y1); row++) {
        for (int x = std::max(0, x0); x < std::min(W, x1); x++) {
            y[row * W + x] = luma;
            vu[(row / 2) * W + (x / 2) * 2] = v;
        }
    }
}

bool RoadFrame::SavePng(const std::string& path) const
{
    return host::WritePng(path.c_str(), W, H, false, [this](int row, unsigned char* out) {
        for (int x = 0; x < W; x++)
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = y[row * W + x];
    });
}

std::string OutputPath(const std::string& name)
{
    const char* dir = std::getenv("DASHREC_BINARY_DIR");
    return dir ? std::string(dir) + "/tests/assist/" + name : name;
}

void Reduce(const RoadFrame& frame, uint8_t* gray)
{
    static uint8_t colour[ADAS_SMALL_W * ADAS_SMALL_H * 3];
    __fs_gfx_extract__nv21_540_to_270p_Y_UV(frame.Y(), frame.VU(), gray, colour);
}

bool SaveLaneEdges(const std::string& name)
{
    const uint8_t* edge = LaneEdgeMap();
    return host::WritePng(OutputPath(name).c_str(), ADAS_SMALL_W, _ldws.regionHeight, false,
                          [edge](int row, unsigned char* out) {
                              for (int x = 0; x < ADAS_SMALL_W; x++)
                                  out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = edge[row * ADAS_SMALL_W + x] ? 255 : 0;
                          });
}

bool Holds(const std::vector<int>& codes, int code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace adastest
