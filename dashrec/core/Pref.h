#pragma once
// The preferences kept in the EEPROM. Until the record is built, start-up sees
// the defaults and nothing is stored.

#include "dashrec/core/Singleton.h"

namespace vk {

class Pref : public Singleton<Pref> {
public:
    void Init() {}
    void Save() {}
    void SetForcedUnlock() { _forcedUnlock = true; }
    bool GetForcedUnlock() const { return _forcedUnlock; }
    bool IsRearCameraOn() const { return _rear; }
    void SetRearCameraOn() { _rear = true; }
    void SetRearCameraOff() { _rear = false; }
    void SetFrontView() {}

private:
    bool _forcedUnlock = false;
    bool _rear = true;
};

} // namespace vk
