#pragma once
// From OK in a format dialog to the restart: the progress screen settles the
// settings the medium is formatted for and leaves the launcher its markers,
// the done screen follows, and the restart screen ends the program. The
// launcher formats the medium after the exit and starts the program again.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CFormatting : public SettingsWindow {
public:
    static const int ID_MESSAGE = 1000;
    static const int ID_PROGRESS_IMAGE = 10;
    static const int PROGRESS_MS = 10000;

    explicit CFormatting(WND::ID wnd) : SettingsWindow(wnd, "CFormatting", {}) {}

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t&) override {}
    void OnTimer(ipc_msg_t& msg) override;

private:
    void OnSuccess();
    // The settings the medium is laid out for, saved before the exit.
    void SettleSettings();

    int _format = 0; // the request flag
    bool _markersLeft = false;
};

class CSuccess : public SettingsWindow {
public:
    static const int ID_MESSAGE = 1000;
    static const int SHOWN_MS = 5000;

    explicit CSuccess(WND::ID wnd) : SettingsWindow(wnd, "CSuccess", {}) {}

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t&) override {}
    void OnTimer(ipc_msg_t& msg) override;
};

class CRestart : public SettingsWindow {
public:
    static const int SHOWN_MS = 1000;

    explicit CRestart(WND::ID wnd) : SettingsWindow(wnd, "CRestart", {}) {}

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t&) override {}
    void OnTimer(ipc_msg_t& msg) override;
};

// The files the launcher looks for in "/tmp" after the exit: the format
// request, the SD card as the medium, and the layout's front and rear heights,
// frame rate and parking frame rate. Made directly, never through a shell,
// after those of an earlier request are gone. False, and none left, when one
// could not be made.
bool LeaveFormatMarkers(bool sdCard);

} // namespace vk
