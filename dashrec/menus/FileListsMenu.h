#pragma once
// A menu window that needs the recording file lists: entering it re-reads
// them on a thread of its own when they are stale, with a sand clock turning
// meanwhile and the keys blocked until the thread's report, sent until the
// bus takes it, comes. The menu key and MENU_RETURN go back, the
// home key, HOME and the USB cable to the live view; other items are the
// window's own.

#include "dashrec/menus/WorkerReports.h"
#include "dashrec/ui/MessageHandler.h"

#include <thread>

namespace vk {

class FileListsMenu : public MessageHandler {
public:
    ~FileListsMenu() override;

    void OnMessage(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    // `backLog` is the card log's line for the menu key.
    FileListsMenu(WND::ID wnd, int buttons, const char* tag, const char* backLog);

    // KEY_OK on an item other than HOME and MENU_RETURN.
    virtual void OnItem(STR::ID item) = 0;

    // Starts the loading thread when the lists are stale and tells whether it
    // did; with current lists the window is updated at once.
    bool LoadIfStale();

    bool _blockKeys = false;

private:
    static constexpr unsigned CLOCK_FRAMES = 9;

    void LoadLists();
    void OnKeyOk();
    void OnUpdate();
    void OnTimer(ipc_msg_t& msg);
    void ShowClockFrame(unsigned frame);
    void Join();

    const char* const _tag;
    const char* const _backLog;
    std::thread _t;
    bool _threadStarts = false;
    size_t _timerIndex = 0;
    bool _finishLoading = true;
    const int _timer[CLOCK_FRAMES] = { 2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008 };
    WorkerReports _reports;
};

} // namespace vk
