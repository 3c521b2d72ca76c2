#pragma once
// The playback folder window: the four record folders with their file
// counts, shown once the file lists are loaded.

#include "dashrec/menus/FileListsMenu.h"

namespace vk {

class CMenuPlayback : public FileListsMenu {
public:
    explicit CMenuPlayback(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void UpdateSubText() override;

private:
    static constexpr int FOLDER_COUNT = 4;

    void OnItem(STR::ID item) override;

    char _sub[FOLDER_COUNT][16] = {};
};

} // namespace vk
