#pragma once
// The system menu: voice guidance, volume and LCD off-time stepped in place,
// and the ways to the date and time, the information page and the reset.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CMenuSystem : public SettingsWindow {
public:
    explicit CMenuSystem(WND::ID wnd);
};

} // namespace vk
