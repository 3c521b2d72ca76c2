#pragma once
// The parking menu: shock and motion sensitivity, the cut-off voltage, off
// timer and temperature, and the self-check, each stepped in place by OK and
// shown as its tile's picture. The off timer is offered only while parking
// mode is chosen for the next start.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CMenuParking : public SettingsWindow {
public:
    explicit CMenuParking(WND::ID wnd);

    void UpdateSubText() override;

protected:
    bool OnItem(STR::ID item) override;
};

} // namespace vk
