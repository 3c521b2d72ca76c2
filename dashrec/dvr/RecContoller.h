#pragma once
// Whether the live view has entered parking mode: the engine's file-naming
// thread reads it to name an event recorded while parked as a parking event.

#include "dashrec/core/Singleton.h"

#include <atomic>

namespace vk {

class RecContoller : public Singleton<RecContoller> {
public:
    ~RecContoller() override = default;

    void Init() {}
    void ParkingModeEntered();
    void ParkingModeExited();
    // Read without a lock from an engine thread: a plain flag suffices.
    static bool DoesLiveviewEnterParkingMode() { return Inst()->_parkingEnter; }

private:
    friend class Singleton<RecContoller>;
    RecContoller() = default;

    std::atomic<bool> _parkingEnter { false };
};

} // namespace vk
