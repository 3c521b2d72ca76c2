#pragma once
// The SD card as a backup medium, while the internal eMMC records.

#include "dashrec/core/Singleton.h"
#include "dashrec/core/StorageMedium.h"

namespace vk {

class SdCard : public Singleton<SdCard>, public BackupMedium {
public:
    SdCard();

    int RecommandedTotalSpace() const { return 8192; }
    bool IsFormatNeeded();
    void SetFormatNeeded();
    void SetFormatDone();
};

} // namespace vk
