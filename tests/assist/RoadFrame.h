#pragma once
// Camera frames drawn for the driver-assistance tests: 960 x 540 NV21, a
// plain road under a sky with lane markings running to a vanishing point and
// boxes for whatever stands on the road.

#include <cstdint>
#include <string>
#include <vector>

namespace adastest {

constexpr int W = 960;
constexpr int H = 540;
// Where the drawn road's markings meet.
constexpr int VANISH_X = 480;
constexpr int VANISH_Y = 260;
// Where the lane's markings reach the bottom row when the car is centred.
constexpr int LEFT_X = 180;
constexpr int RIGHT_X = 780;

struct RoadFrame {
    std::vector<uint8_t> y = std::vector<uint8_t>(W * H);
    std::vector<uint8_t> vu = std::vector<uint8_t>(W * H / 2, 128);

    RoadFrame(uint8_t sky = 170, uint8_t road = 90);
    // A marking from the vanishing point to bottomX on the last row,
    // widening towards the camera.
    void Marking(int bottomX, uint8_t luma = 225);
    // Both markings of the lane.
    static RoadFrame Lane(int leftBottomX, int rightBottomX);
    // A dark vehicle in the middle of the road whose shade starts at row bottom.
    static RoadFrame VehicleAhead(int bottom, int width = 100);
    void Box(int x0, int y0, int x1, int y1, uint8_t luma, uint8_t v = 128);
    bool SavePng(const std::string& path) const;
    const uint8_t* Y() const { return y.data(); }
    const uint8_t* VU() const { return vu.data(); }
};

// Where the test's pictures go: the build folder, or the working folder.
std::string OutputPath(const std::string& name);

// The frame as the library's analysis sees it: 480 x 270 grey.
void Reduce(const RoadFrame& frame, uint8_t* gray);
// The lane detector's edge map of its last frame, below the horizon.
bool SaveLaneEdges(const std::string& name);
bool Holds(const std::vector<int>& codes, int code);

} // namespace adastest
