#pragma once
// The choice of the recording medium (the internal eMMC or the SD card): the
// memory menu edits the pending choice and opens the format dialogs, the
// confirmation makes the choice the medium in use and restarts the program,
// or formats the new medium first when it carries no recording layout. The
// storage page switches the same pending choice; no menu item opens it.

#include "dashrec/core/Pref.h"
#include "dashrec/menus/OptionScreen.h"

namespace vk {

class CMemory : public SettingsWindow {
public:
    static const int RENDER_MS = 500;

    explicit CMemory(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    // The medium buttons show the medium in use; the card's format only while the eMMC records.
    void Refresh() override;
    bool OnItem(STR::ID item) override;

private:
    void OnChangeDevice();

    bool _keyLock = false;
};

class CStorage : public OptionScreen {
public:
    explicit CStorage(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;

private:
    bool _keyLock = false;
};

class CChangeStorage : public SettingsWindow {
public:
    explicit CChangeStorage(WND::ID wnd);

protected:
    // Opens with HOME focused.
    void Refresh() override;
    bool OnItem(STR::ID item) override;
    void OnMenuKey() override;

private:
    void OnConfirm();
    // The pending choice goes back to the medium in use.
    static void RestoreChoice();
};

} // namespace vk
