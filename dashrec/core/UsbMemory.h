#pragma once
// A USB stick as a backup medium.

#include "dashrec/core/Singleton.h"
#include "dashrec/core/StorageMedium.h"

namespace vk {

class UsbMemory : public Singleton<UsbMemory>, public BackupMedium {
public:
    UsbMemory();
};

} // namespace vk
