#pragma once
// The factory reset page: OK loads the defaults, through a format when the
// recording layout changes with them, or a restart when night vision does.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CReset : public SettingsWindow {
public:
    explicit CReset(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;

private:
    void OnOk();
};

} // namespace vk
