#pragma once
// The backup menu's first window: copy the recent recordings, a whole folder
// or chosen files to the SD card, or format the USB stick. It shows once the
// file lists are loaded, since every choice copies from them.

#include "dashrec/menus/FileListsMenu.h"

namespace vk {

class CBackupFile : public FileListsMenu {
public:
    explicit CBackupFile(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;

private:
    static constexpr int BT_USB_FORMAT = 5;

    void OnItem(STR::ID item) override;
    void OpenCopyMenu(WND::ID menu);
    void OpenUsbFormat();
};

} // namespace vk
