#include "dashrec/core/UsbMemory.h"

#include "dashrec/core/Storage.h"

namespace vk {

UsbMemory::UsbMemory()
    : BackupMedium({ Singleton<Storage>::Inst()->UsbDevice(), Singleton<Storage>::Inst()->UsbPartition(),
                       Singleton<Storage>::Inst()->USB_MOUNT_POSITION, "[UsbMemory]", false, false },
          _mutex)
{
}

} // namespace vk
