#pragma once
// Overlay regions on the host: what the encoder does with them.

#include <cstdint>

namespace soc {

// Blends the shown regions attached to encoder channel chn into an NV21
// picture of width x height (line length = width).
void RgnBlendIntoFrame(int chn, uint8_t* nv21, int width, int height);

} // namespace soc
