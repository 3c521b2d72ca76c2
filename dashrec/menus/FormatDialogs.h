#pragma once
// The two dialogs that lead to a format of the recording medium: the one the
// user opens (`CMenuFormat`) and the one shown when the medium cannot record
// as it is (`CForcedFormat`, left only by formatting or removing the card).

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class FormatDialog : public SettingsWindow {
public:
    static const int ID_MESSAGE_1 = 1000;
    static const int ID_MESSAGE_2 = 1001;
    static const int ID_MESSAGE_3 = 1002;
    static const int CHECK_CARD_MS = 1000;

protected:
    using SettingsWindow::SettingsWindow;

    // Title, what the format deletes on the medium in use, and the restart.
    void ShowTexts(STR::ID title);
    // Opens the formatting screen with `request` when the medium may be
    // formatted; an SD card that is absent does nothing, one that is too
    // small is reported in a box (after the "under 16G" line when `logSmall`).
    void RequestFormat(int request, bool logSmall);
};

class CMenuFormat : public FormatDialog {
public:
    explicit CMenuFormat(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;

private:
    int _format = 0; // the request flag
};

class CForcedFormat : public FormatDialog {
public:
    static const int PARKING_SHUTDOWN_MS = 60000;

    explicit CForcedFormat(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;
    // No way back: the medium must be formatted or the card removed.
    void OnMenuKey() override {}

private:
    void OnCheckCard();

    // Once per program run, not per showing: the parking shutdown is armed.
    static bool _parkingShutdownArmed;
};

} // namespace vk
