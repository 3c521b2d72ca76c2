#include "dashrec/core/Storage.h"

#include "dashrec/core/SDDebug.h"

#include <sys/stat.h>

namespace vk {

bool Storage::IsSdCardInserted()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    struct stat info {};
    bool inserted = false;
    if (stat(SdDevice().c_str(), &info) == 0) {
        inserted = S_ISBLK(info.st_mode);
        Singleton<SDDebug>::Inst()->Print("IsSdCardInserted() info.st_mode %d\n", inserted ? 1 : 0);
    }
    Singleton<SDDebug>::Inst()->Print("IsSdCardInserted() = %s\n", inserted ? "true" : "false");
    return inserted;
}

} // namespace vk
