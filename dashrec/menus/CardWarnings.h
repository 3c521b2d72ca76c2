#pragma once
// The warnings the run mode opens about the SD card as the recording medium:
// it cannot be written (`SDWriteError`, left by formatting or removing the
// card) and its write budget is used up (`SDExchange`, shown at start for 11
// seconds at most). Both take messages for any window, light the error LED,
// keep the LCD on and ask for a new card by voice every ten seconds.
// The booting-count page of the production line shares their frame; the run
// mode registers it but nothing opens it.

#include "dashrec/menus/SettingsWindow.h"

namespace vk {

class CardWarning : public SettingsWindow {
public:
    static const int TICK_MS = 1000;
    static const int SOUND_EVERY_TICKS = 10;

    // Opened by the run mode over any window: every message is taken.
    void OnMessage(ipc_msg_t& msg) override { Dispatch(msg); }

protected:
    using SettingsWindow::SettingsWindow;

    // The common start: voice on, count 0, paint, first tick, LED and LCD.
    void Enter();
    // A tick of this window's own check timer.
    bool IsOwnTick(const ipc_msg_t& msg) const;
    // Asks for a new card on every tenth tick, then counts the tick.
    void CountTick();

    bool _sound = true;
    int _checkCount = 0;
};

class SDWriteError : public CardWarning {
public:
    explicit SDWriteError(WND::ID wnd) : CardWarning(wnd, "SDWriteError", { STR::FORMAT }) {}

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;
};

class SDExchange : public CardWarning {
public:
    static const int MAX_TICKS = 11;

    explicit SDExchange(WND::ID wnd) : CardWarning(wnd, "SDExchange", { STR::OK_ENG }) {}

    void OnInit(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;
    void OnMenuKey() override {}
};

// Shows the version and how often the device has started, counts this start
// and goes back to the live view after 11 seconds; OK resets the count.
class BootingCountTest : public CardWarning {
public:
    static const int MAX_TICKS = 11;
    static const int ID_VERSION_LINE = 1000;
    static const int ID_COUNT_LINE = 1001;

    explicit BootingCountTest(WND::ID wnd) : CardWarning(wnd, "BootingCountTest", { STR::OK }) {}

    void OnInit(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    bool OnItem(STR::ID item) override;
    void OnMenuKey() override {}

private:
    char _str_count[64] = {};
    char _str_version[128] = {};
};

} // namespace vk
