#pragma once
// What the host's encoders may ask of its cameras.

#include "mpp_comm/soc_common.h"

#include <string>

namespace soc {

// The name of the camera whose capture buffer holds the frame ("FRONT",
// "REAR", ...), or an empty text for a frame that is no capture buffer.
std::string CaptureLabel(const VIDEO_FRAME_INFO_S& frame);

} // namespace soc
