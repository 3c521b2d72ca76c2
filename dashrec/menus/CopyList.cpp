#include "dashrec/menus/CopyList.h"

namespace vk {

void CopyList::SetListType(LISTTYPE::VALUE type)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _type = type;
}

LISTTYPE::VALUE CopyList::GetListType()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _type;
}

void CopyList::SetListMedia(LISTMEDIA::VALUE media)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _media = media;
}

LISTMEDIA::VALUE CopyList::GetListMedia()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _media;
}

} // namespace vk
