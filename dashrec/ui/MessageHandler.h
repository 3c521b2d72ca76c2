#pragma once
// The base of every window. A window is the state of the screen description
// whose id is its WND::ID; the base keeps the window's buttons (objects of that
// state) and the texts shown on them page by page, and does the default key
// and touch handling.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/ipc.h"
#include "dashrec/ui/StrId.h"
#include "dashrec/ui/UIObject.h"

#include <vector>

namespace vk {

class MessageHandler {
public:
    struct Buttons {
        std::vector<obj_button*> vec; // objects of the window's state, not owned
        unsigned focused = 0;
    };
    struct Contents {
        std::vector<STR::ID> vec;
        unsigned startIndex = 0; // first content of the page shown
    };
    enum ID {
        BTN_ID_0, BTN_ID_1, BTN_ID_2, BTN_ID_3, BTN_ID_4, BTN_ID_5, BTN_ID_6,
        BTN_ID_7, BTN_ID_8, BTN_ID_9, BTN_ID_10, BTN_ID_11, BTN_ID_12, BTN_ID_13,
        BTN_ID_14, BTN_ID_15, BTN_ID_16, BTN_ID_17, BTN_ID_18, BTN_ID_19, BTN_ID_20,
    };

    static const int IMG_OFFSET = 1100;    // image object of button i: 1100 + i
    static const int TXTSUB_OFFSET = 1200; // sub-text object of button i: 1200 + i
    static const int ID_TITLE = 150;
    static const int ID_VERSION = 160;

    MessageHandler(WND::ID wnd, int buttonCount);
    virtual ~MessageHandler() = default;

    virtual void OnMessage(ipc_msg_t& msg) = 0;
    virtual void UpdateSubText() {}
    virtual void OnCreate(int n);
    virtual void OnInit(ipc_msg_t& msg) = 0;
    virtual void OnClose(ipc_msg_t& msg);
    virtual void OnPaint(ipc_msg_t& msg);
    virtual void OnButton(ipc_msg_t& msg);
    virtual void OnButtonTouch(ipc_msg_t& msg);

    void AddButton(int id);
    void AddContent(STR::ID text);
    std::vector<obj_button*>& GetButtons() { return _buttons.vec; }
    unsigned& GetButtonsFocused() { return _buttons.focused; }
    unsigned GetButtonsSize() const { return static_cast<unsigned>(_buttons.vec.size()); }
    unsigned GetContentsSize() const { return static_cast<unsigned>(_contents.vec.size()); }
    std::vector<STR::ID>& GetContentsStrings() { return _contents.vec; }
    WND::ID GetWindowId() const { return _wnd; }
    WND::ID GetCaller() const { return _caller; }
    obj_common* GetComponent(int id);
    obj_common* GetStateComponent(int state, int id);
    unsigned GetActiveButtonsSize() const;
    STR::ID GetStringIdOfFocusedButton();

    void SendMessage(int wnd, int cmd, int param1, int param2);
    void SetTimer(TIMER::ID tid, int ms);
    void KillTimer(TIMER::ID tid);
    void PreventGoingBackToLiveview();
    void SetCaller(WND::ID wnd);

    void SetStartPage();
    void UpdateButtonText();
    void GoToNextPage();
    void GoToPrevPage();
    unsigned GetCurrentPages() const;
    unsigned GetLastPage() const;

    // Index of the last-added shown, enabled button that holds the point, or -1.
    static int GetTouchedButton(const std::vector<obj_button*>& buttons, int x, int y);
    static bool GetButtonPosition(const std::vector<obj_button*>& buttons, unsigned index, int& x, int& y);

protected:
    WND::ID _caller = WND::INVALID;
    Buttons _buttons;
    Contents _contents;
    WND::ID _wnd;

private:
    void MoveFocus(unsigned to);
    void FocusPrevious();
    void FocusNext();
    unsigned LastActiveButton() const;
    void ShowOnPage(int objectId, bool shown);
    bool HasMorePagesThanOne() const;
    void RepostTouchOfButton(unsigned index);
    void PlayClick();
};

} // namespace vk
