#pragma once
// The live view's recording controller. Only the flag that the file names
// read is here yet: whether the live view has entered parking mode.

#include "dashrec/core/Singleton.h"

#include <atomic>

namespace vk {

class RecContoller : public Singleton<RecContoller> {
public:
    static bool DoesLiveviewEnterParkingMode() { return Inst()->_liveviewEnteredParkingMode; }
    void SetLiveviewEnteredParkingMode(bool entered) { _liveviewEnteredParkingMode = entered; }

private:
    std::atomic<bool> _liveviewEnteredParkingMode { false };
};

} // namespace vk
