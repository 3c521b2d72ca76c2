#pragma once
// The services the live view's files reach on every other line.

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"

namespace vk::liveview {

inline SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

inline Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

inline CMainDvr* RunMode()
{
    return Singleton<CMainDvr>::Inst();
}

} // namespace vk::liveview
