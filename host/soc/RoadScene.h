#pragma once
// The picture of the synthetic cameras: a road seen from a car. Lane markings
// sway slowly as the car weaves and the road bends, dashes run towards the
// camera, a vehicle ahead comes and goes, and a caption carries the camera's
// name and frame number; someone may walk past close to the camera. The scene is a function of time only, so every
// stream of a camera shows the same moment at its own size.

#include <cstdint>
#include <string>

namespace soc {

struct SceneShot {
    double timeSec = 0;     // scene time: where the road and the vehicle are
    uint32_t frameNumber = 0;
    std::string label;      // the camera's name in the caption
    bool mirror = false;    // left and right swapped
    bool flip = false;      // top and bottom swapped
    double passerBy = -1;   // how far someone walking past is across (0 to 1); negative: nobody
};

// Draws the shot into an NV21 picture (Y plane, then interleaved V/U at half
// resolution); both planes have a line length of width bytes.
void RenderRoadScene(uint8_t* y, uint8_t* vu, int width, int height, const SceneShot& shot);

} // namespace soc
