#pragma once
// The two dialogs that lead to a format of the recording medium: the one the
// user opens (`CMenuFormat`) and the one shown when the medium cannot record
// as it is (`CForcedFormat`, left only by formatting or removing the card).

#include "dashrec/menus/MenuWindow.h"

namespace vk {

class FormatDialog : public MenuWindow {
public:
    static const int ID_MESSAGE_1 = 1000;
    static const int ID_MESSAGE_2 = 1001;
    static const int ID_MESSAGE_3 = 1002;
    static const int CHECK_CARD_MS = 1000;

protected:
    using MenuWindow::MenuWindow;

    // Title, what the format deletes on the medium in use, and the restart.
    void ShowTexts(STR::ID title);
    // Opens the formatting screen with `request` when the medium may be
    // formatted; an SD card that is absent does nothing, one that is too
    // small is reported in a box (after `underLine` when given).
    void RequestFormat(int request, const char* okLine, const char* underLine);
};

class CMenuFormat : public FormatDialog {
public:
    explicit CMenuFormat(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    void OnTimer(ipc_msg_t& msg) override;

private:
    void OnOk(STR::ID item);

    int _format = 0; // the request flag
};

class CForcedFormat : public FormatDialog {
public:
    static const int PARKING_SHUTDOWN_MS = 60000;

    explicit CForcedFormat(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    void OnTimer(ipc_msg_t& msg) override;

private:
    void OnCheckCard();

    // Once per program run, not per showing: the parking shutdown is armed.
    static bool _parkingShutdownArmed;
};

} // namespace vk
