#include "dashrec/menus/FormatRequest.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SdCard.h"

namespace vk {

bool IsSdCardMedium()
{
    return !Singleton<Pref>::Inst()->IsInternalStorageUsed();
}

bool IsSdCardLargeEnough()
{
    SdCard* card = Singleton<SdCard>::Inst();
    return card->TotalSpace() > card->RecommandedTotalSpace();
}

} // namespace vk
