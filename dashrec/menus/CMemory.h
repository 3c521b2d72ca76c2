#pragma once
// The choice of the recording medium (the internal eMMC or the SD card): the
// memory menu edits the pending choice and opens the format dialogs, the
// confirmation makes the choice the medium in use and restarts the program,
// or formats the new medium first when it carries no recording layout.

#include "dashrec/core/Pref.h"
#include "dashrec/menus/MenuWindow.h"

namespace vk {

class CMemory : public MenuWindow {
public:
    static const int RENDER_MS = 500;

    explicit CMemory(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    void OnTimer(ipc_msg_t& msg) override;
    void OnOtherMessage(ipc_msg_t& msg) override;

private:
    void OnOk(STR::ID item);
    void OnChangeDevice();
    // Shows the new choice, then hands over to the confirmation; keys are dead meanwhile.
    void ShowChoiceThenConfirm(RECORDING::STORAGE::VALUE storage, const char* line);

    bool _keyLock = false;
};

class CChangeStorage : public MenuWindow {
public:
    explicit CChangeStorage(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

private:
    void OnOk(STR::ID item);
    void OnConfirm();
    // The pending choice goes back to the medium in use.
    static void RestoreChoice();
};

} // namespace vk
