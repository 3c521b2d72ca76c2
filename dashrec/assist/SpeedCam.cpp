#include "dashrec/assist/SpeedCam.h"

namespace vk {

std::atomic<SpeedCam::Observer> SpeedCam::_observer { nullptr };

// The database search comes with driver assistance; until then the feature is
// never started and a sentence changes nothing.
void SpeedCam::ParseRMC(const char* sentence, int length)
{
    if (Observer observer = _observer)
        observer(sentence, length);
}

} // namespace vk
