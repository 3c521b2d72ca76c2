#pragma once
// Speed-camera alerts from the GPS position. The GPS receiver hands it every
// RMC sentence; it does nothing until the speed-camera feature is started.

#include "dashrec/core/Singleton.h"

namespace vk {

class SpeedCam : public Singleton<SpeedCam> {
public:
    // Called on the GPS receive thread with the whole sentence, "$" to LF.
    void ParseRMC(const char* sentence, int length);
};

} // namespace vk
