#pragma once
// Speed-camera alerts from the GPS position. The GPS receiver hands it every
// RMC sentence; it does nothing until the speed-camera feature is started.

#include "dashrec/core/Singleton.h"

#include <atomic>

namespace vk {

class SpeedCam : public Singleton<SpeedCam> {
public:
    // Called on the GPS receive thread with the whole sentence, "$" to LF.
    void ParseRMC(const char* sentence, int length);

    // Sees every sentence handed over; only a test installs one.
    using Observer = void (*)(const char* sentence, int length);
    static void SetObserver(Observer observer) { _observer = observer; }

private:
    static std::atomic<Observer> _observer;
};

} // namespace vk
