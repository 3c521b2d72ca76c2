#include "dashrec/core/SdCard.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"

namespace vk {

SdCard::SdCard()
    : BackupMedium({ Singleton<Storage>::Inst()->SdDevice(), Singleton<Storage>::Inst()->SdPartition(),
                       Singleton<Storage>::Inst()->SD_MOUNT_POSITION, "[SdCard]", true, true },
          _mutex)
{
}

bool SdCard::IsFormatNeeded()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    Singleton<SDDebug>::Inst()->Print("[SdCard]IsFormatNeeded::_formatted - %s\n", _formatted ? "true" : "false");
    return !_formatted;
}

void SdCard::SetFormatNeeded()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    Singleton<SDDebug>::Inst()->Print("[SdCard]SetFormatNeeded\n");
    _formatted = false;
}

void SdCard::SetFormatDone()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    Singleton<SDDebug>::Inst()->Print("[SdCard]SetFormatDone\n");
    _formatted = true;
}

} // namespace vk
