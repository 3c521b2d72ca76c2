#pragma once
// The paged file list of one record folder: five recordings to a page, a
// chosen one opens in the player. Opened for a backup it is the copy list,
// whose choice opens the copy player instead.

#include "dashrec/ui/MessageHandler.h"

#include <string>

namespace vk {

class Playfile;

class CListPage : public MessageHandler {
public:
    enum CHILD { CURRENT_NUMBER = 13, TOTAL_NUMBER = 14, LIST_MESSAGE_BOX = 15, MESSAGE_TEXT = 16, CLOCK_IMAGE = 17 };
    enum BUTTON {
        BTN_LIVEVIEW = 0,
        BTN_EXIT = 1,
        BTN_FIRST_ROW = 2,
        BTN_LAST_ROW = 6,
        BTN_BACK_5 = 7,
        BTN_FORWARD_5 = 8,
        BTN_BACK_1 = 9,
        BTN_FORWARD_1 = 10,
        BTN_EDIT = 11,
    };
    static constexpr int FILES_IN_PAGE = 5;
    static constexpr int OTHER_BTNS = 6;

    CListPage(WND::ID wnd, STR::ID title, const char* dir);
    ~CListPage() override = default;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

    void UpdateContents();
    void GoToPrevPage(int pages);
    void GoToNextPage(int pages);
    void OnOkKey(int row);
    bool IsCopyMenu();
    void ShowMessage(STR::ID text);
    void HideMessage();
    void ShowSandClock();
    void HideSandClock();

private:
    struct file_s {
        char name[32];
    };

    void OnTimer(ipc_msg_t& msg);
    void OnConnectUSB();
    void OnDisconnectUSB() {}
    void OnKeyOk();
    void OnExitKey();
    void OnEditKey();
    void OnPageBack(int pages);
    void OnPageForward(int pages);
    obj_button* Edit();
    void SetExitImage(const char* image);
    void LeaveSelection();
    void SetFocused(unsigned index);

    bool _keylock = false;
    std::string _dir;
    Playfile* _pf_ptr = nullptr;
    STR::ID _title_id;
    char _current[5] = "0";
    char _total[5] = "0";
    file_s _filenames[FILES_IN_PAGE] = {};
};

} // namespace vk
