#include "dashrec/assist/SpeedCam.h"

namespace vk {

// The database search comes with driver assistance; until then the feature is
// never started and a sentence changes nothing.
void SpeedCam::ParseRMC(const char*, int)
{
}

} // namespace vk
