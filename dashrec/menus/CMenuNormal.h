#pragma once
// The recording menu: shock-sensor level, exposure, night vision and the
// rear mirror stepped in place, and the way to the driver-assistance settings.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CMenuNormal : public SettingsWindow {
public:
    explicit CMenuNormal(WND::ID wnd);
};

} // namespace vk
