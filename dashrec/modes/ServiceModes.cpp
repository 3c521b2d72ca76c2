#include "dashrec/modes/ServiceModes.h"

#include "dashrec/core/SDDebug.h"

namespace vk {

void CUnbuiltMode::Initialize(bool)
{
    Singleton<SDDebug>::Inst()->Print("[CMain]%s mode is not available in this build\n", _name);
}

void CUnbuiltMode::Start()
{
}

} // namespace vk
