#pragma once
// The playback folder window: the four record folders with their file
// counts. Entering it re-reads the file lists on a thread of its own when
// they are stale, with a sand clock turning meanwhile and the keys blocked.

#include "dashrec/ui/MessageHandler.h"

#include <thread>

namespace vk {

class CMenuPlayback : public MessageHandler {
public:
    explicit CMenuPlayback(WND::ID wnd);
    ~CMenuPlayback() override;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    void UpdateSubText() override;

private:
    static constexpr int FOLDER_COUNT = 4;
    static constexpr unsigned CLOCK_FRAMES = 9;

    void OnUpdate();
    void OnTimer(ipc_msg_t& msg);
    void OnConnectUSB();
    void OnDisconnectUSB() {}
    void OnKeyOk();
    void LoadLists();
    void ShowClockFrame(unsigned frame);
    void Join();

    std::thread _t;
    bool _threadStarts = false;
    size_t _timerIndex = 0;
    bool _blockKeys = false;
    bool _finishLoading = true;
    char _sub[FOLDER_COUNT][16] = {};
    const int _timer[CLOCK_FRAMES] = { 2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008 };
};

} // namespace vk
