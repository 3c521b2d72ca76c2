#pragma once
// A window of the menu tree. It takes the messages addressed to itself or to
// every window (others are refused with a line on standard output), hands the
// five common commands to their handlers and offers the moves every menu
// makes: close to a window, the menu key without a click, back to the live
// view through the format dialog when pending settings need a format.

#include "dashrec/ui/MessageHandler.h"

namespace vk {

class MenuWindow : public MessageHandler {
public:
    void OnMessage(ipc_msg_t& msg) override;

protected:
    // `name` is the class name in square brackets that begins the refusal line.
    MenuWindow(WND::ID wnd, int buttonCount, const char* name);

    virtual void OnTimer(ipc_msg_t&) {}
    // Commands beyond INIT, PAINT, TIMER, CLOSE and BUTTON; the rest are ignored.
    virtual void OnOtherMessage(ipc_msg_t&) {}
    // Warnings opened by the run mode take messages for any window.
    virtual bool TakesEveryMessage() const { return false; }

    // Posts CLOSE to this window: the run mode opens `target`, whose INIT
    // carries `param2` (this window's id unless a request rides along).
    void CloseTo(int target);
    void CloseTo(int target, int param2);
    // The menu key as if pressed, without a second click.
    void PostMenuKey();
    void Repaint();
    // HOME: the live view, or the format dialog first when the pending
    // settings need a format.
    void BackToLiveview();
    // Points text object `id` of this window at language text `text`.
    void SetTextId(int id, STR::ID text, const char* expr);
    obj_button* Button(unsigned index, const char* expr);

private:
    const char* _name;
};

} // namespace vk
