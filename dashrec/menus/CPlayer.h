#pragma once
// The player: one recording chosen in a list page, played by the media
// engine's file player under a control bar with 10-second seeks, pause, the
// front/rear switch and a copy button. The copy player is the same window
// opened from the copy list, with its copy button shown.

#include "dashrec/ui/MessageHandler.h"

namespace vk {

class CPlayer : public MessageHandler {
public:
    enum CHILD {
        TITLEBAR = -4,
        TXT_TITLE = -3,
        PLAYTIMEBAR = -2,
        TXT_PLAYTIME = -1,
        BTN_EXIT = 0,
        BTN_RW = 1,
        BTN_PLAY = 2,
        BTN_FF = 3,
        BTN_TOGGLE = 4,
        BTN_COPY = 5,
        BT_SDCARD = 6,
        BT_USB = 7,
        IMG_FSEEK = 1000,
        IMG_PAUSE = 1001,
        IMG_PLAY = 1002,
        IMG_RSEEK = 1003,
        RECT_PROG_BG = 1004,
        RECT_PROG_DATA = 1005,
    };
    static constexpr int MS_100 = 100;
    static constexpr int MS_500 = 500;
    static constexpr int SEC_1 = 1000;
    static constexpr int SEC_5 = 5000;
    static constexpr int SEC_20 = 20000;
    static constexpr int SEEK_STEP = 10000;
    // The progress bar at the end of the file.
    static constexpr int PROGRESS_WIDTH = 476;

    explicit CPlayer(WND::ID wnd);
    ~CPlayer() override = default;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

    void Play();
    void Pause();
    void SetTitle();
    void SetToggleShowTimer();
    void ShowButtons();
    void HideButtons();
    void ClearPopupIcon();
    void ShowSelectStorage(int x, int y);
    void HideSelectStorage();
    void OnTimer(ipc_msg_t& msg);

    const char* Title() const { return _title; }
    const char* Playtime() const { return _playtime; }

private:
    obj_common* Child(int id);
    void CloseToCaller();
    void OnStartPlay();
    void OnStartShow();
    void OnUpdateView();
    void ShowPopup(int image);
    void OnKeyOk(int focused);
    void SeekBackward();
    void SeekForward();
    void TogglePlay();
    void Copy();
    void SwapFrontRear();
    void OnTouch();
    void SetProgress(int width);

    int _duration = -1;
    int _position = -1;
    int _prevPosition = -1;
    int _positionSameCount = -1;
    int _previousPlayPosition = -1;
    bool _started = false;
    bool _isFileSwaped = false;
    bool _showButtons = false;
    bool _play_status = false;
    bool _touch_count = false;
    char _title[32] = {};
    char _playtime[32] = {};
    char _fullname[128] = {};
};

class CCopyPlayer : public CPlayer {
public:
    explicit CCopyPlayer(WND::ID wnd) : CPlayer(wnd) {}

    void OnInit(ipc_msg_t& msg) override;
};

} // namespace vk
