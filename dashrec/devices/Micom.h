#pragma once
// The link to the power-management MCU. Until the serial link is built, the
// power-hold line is the only part start-up needs and it is not driven.

#include "dashrec/core/Singleton.h"

namespace vk {

class Micom : public Singleton<Micom> {
public:
    void Init() {}
    void Lock() {}
    void Unlock() {}
    bool IsTruck() const { return false; }
};

} // namespace vk
