#pragma once
// The PIN pads of the menu lock. A pad collects four digits, shows the last
// one in clear for a second, and once the fourth is in ignores every key and
// hands the code to its pad 500 ms later (after the screen shows it).
// The lock switch itself is the option screen CSecurity.

#include "dashrec/menus/OptionScreen.h"

namespace vk {

class CLockPin : public SettingsWindow {
public:
    static const int CODE_LENGTH = 4;
    static const int ID_DOT = 100;
    static const int ID_DIGIT = 200;
    static const int DIGIT_SHOWN_MS = 1000;
    static const int RENDER_MS = 500;

    // `lockpin`: where the typed digits go (at least CODE_LENGTH + 1 bytes).
    CLockPin(WND::ID wnd, const char* name, char* lockpin);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

    void SetDigit(const char* digit);
    void DelDigit();
    void DrawDots();

protected:
    bool OnItem(STR::ID item) override;
    // The four digits are in `_lockpin`.
    virtual void OnCode() = 0;

    bool _keylock = false;
    char* _lockpin;

private:
    obj_image* Dot(int position);
    obj_text* Digit(int position);

    char _digit[CODE_LENGTH][8] = {};
};

// A new PIN, first entry.
class CPw1 : public CLockPin {
public:
    explicit CPw1(WND::ID wnd);

protected:
    void OnCode() override;
};

// A new PIN, second entry: equal to the first, it switches the lock on.
class CPw2 : public CLockPin {
public:
    explicit CPw2(WND::ID wnd);

protected:
    void OnCode() override;
};

// The stored PIN switches the lock off.
class ConfirmPw : public CLockPin {
public:
    explicit ConfirmPw(WND::ID wnd);

protected:
    void OnCode() override;

private:
    char _input[16] = {};
};

// The stored PIN opens the locked menu.
class CMenuPw : public CLockPin {
public:
    explicit CMenuPw(WND::ID wnd);

protected:
    void OnCode() override;

private:
    char _input[16] = {};
};

// The lock switch: LEFT or RIGHT shows the other state and goes to the pad
// that changes it.
class CSecurity : public OptionScreen {
public:
    explicit CSecurity(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;

protected:
    int Value() override { return _security ? 1 : 0; }
    bool OnItem(STR::ID item) override;

private:
    bool _keylock = false;
    bool _security = false;
};

} // namespace vk
