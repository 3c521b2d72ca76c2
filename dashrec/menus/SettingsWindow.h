#pragma once
// What every settings window shares: the menus that list items and the option
// screens that step one value. A window is built from its items in screen
// order; KEY_OK acts on the item of the focused button, the common items
// (HOME, MENU_RETURN, VERSION) and KEY_MENU the same way in every window.
//
// A derived window describes itself with two tables, set in its constructor:
// - links: items that open another window (CLOSE to it);
// - values: items whose stored value KEY_OK steps in place (+1, wrapping),
//   shown as the button's picture for that value.
// and overrides OnItem for anything else. Setters change the preferences in
// memory only; the main menu saves them when it closes to the live view.

#include "dashrec/ui/MessageHandler.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace vk {

class SettingsWindow : public MessageHandler {
public:
    // What a window carries besides its items.
    enum Feature : unsigned {
        PLAIN = 0,
        VERSION_LINE = 1, // component ID_VERSION shows the firmware version
        WATCHES_USB = 2,  // the USB cable's arrival closes to the live view
    };
    struct Link {
        STR::ID item;
        WND::ID target;
        const char* log; // logged as is when selected; nullptr: nothing
    };
    struct Value {
        STR::ID item;
        const char* log;                  // logged as is when selected
        int count;                        // values 0..count-1
        int (*get)();
        void (*set)(int value);           // stores, and applies what must be at once
        std::vector<const char*> pictures; // by value; empty: the button keeps its look
        const char* invalid;              // assertion text for a value outside the table
    };

    // `name` is the class name every log line of the window begins with.
    SettingsWindow(WND::ID wnd, const char* name, std::initializer_list<STR::ID> items, unsigned features = PLAIN);
    SettingsWindow(WND::ID wnd, const char* name, int buttons, std::initializer_list<STR::ID> items,
        unsigned features = PLAIN);

    void OnMessage(ipc_msg_t& msg) override;
    void UpdateSubText() override;
    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    virtual void OnTimer(ipc_msg_t&) {}

    // Logs one line through the card log with the window's class name in front.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* Name() const { return _name; }

protected:
    // Handles the commands of the pattern, whoever the message is addressed to.
    void Dispatch(ipc_msg_t& msg);
    // KEY_OK on an item that is neither common, a link nor a value; false:
    // the window does not know it (a fatal assertion).
    virtual bool OnItem(STR::ID) { return false; }
    virtual void OnMenuKey();
    // Shows the current values (option screens: their text and dots).
    virtual void Refresh() { UpdateSubText(); }

    void ShowVersionLine();
    // The text object `id` of the window's screen, or null.
    obj_text* TextComponent(int id);
    // The sub-text beside button `row`; asserts when the screen lacks it.
    obj_text* SubText(int row);
    // Shows language text `text` in text object `id`; asserts `expr` when there is none.
    void SetText(int id, STR::ID text, const char* expr);
    void Close(int target, int param2);
    void Close(int target) { Close(target, _wnd); }
    void Paint() { SendMessage(_wnd, WM::PAINT, 0, 0); }
    // MENU_RETURN: KEY_MENU to itself, without a second click.
    void PostMenuKey();
    // Back to the live view, through the format dialog when pending values need one.
    void CloseToLiveview();
    // The button that shows `item` on the current page; asserts when none does.
    obj_button* ButtonOf(STR::ID item);
    void SetButtonPicture(obj_button* button, const char* picture);
    [[noreturn]] void InvalidItem();

    template <size_t N>
    void SetLinks(const Link (&links)[N]) { _links.assign(links, links + N); }
    void SetValues(std::vector<Value> values) { _values = std::move(values); }
    // Option screens assert with the bare text, menus with their class name.
    void SetInvalidItemText(const char* text) { _invalidItem = text; }

private:
    bool OnCommonItem(STR::ID item);
    bool OnLink(STR::ID item);
    bool OnValue(STR::ID item);
    void ShowValue(const Value& value);
    void Construct(std::initializer_list<STR::ID> items);

    const char* _name;
    unsigned _features;
    std::string _invalidItem;
    std::vector<Link> _links;
    std::vector<Value> _values;
};

} // namespace vk
