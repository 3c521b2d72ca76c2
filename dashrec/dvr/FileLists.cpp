#include "dashrec/dvr/FileLists.h"

namespace vk {

void FileLists::Open()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    // The folder lists come with the playback screens; until then there is
    // nothing to re-read.
    _reload = false;
}

} // namespace vk
