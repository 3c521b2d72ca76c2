#include "RoadFrame.h"

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

} // namespace adastest
