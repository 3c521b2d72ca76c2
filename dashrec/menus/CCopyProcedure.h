#pragma once
// Copies the chosen recordings to the backup medium on a worker thread and
// shows the progress: a spinner while the list is made, then the file being
// copied, the count and a bar, then the result for two seconds. The worker
// reports only through the bus (its progress coalesced, its result sent until
// the bus takes it) and is joined when the window closes.

#include "dashrec/menus/WorkerReports.h"
#include "dashrec/ui/MessageHandler.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace vk {

class BackupMedium;
class CopyFile;

class CCopyProcedure : public MessageHandler {
public:
    enum STATE { MAKE_LIST = 0, COPYING = 1 };

    explicit CCopyProcedure(WND::ID wnd);
    ~CCopyProcedure() override;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnPaint(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

private:
    enum RESULT { SUCCESS, FAILURE, NOT_ENOUGH_SPACE, USER_STOP };

    static const int TXT_FILENAME = 150;
    static const int TXT_PROCESS = 1001;
    static const int PGB_BACKGROUND = 997;
    static const int PGB_PROG1 = 998;
    static const int PGB_PROG2 = 999;
    static const int PROGRESS_LENGTH = 234;
    static const int PAUSE_BEFORE_CLOSE = 2;
    static const int SPINNER_FRAMES = 8;
    static const int SPINNER_MS = 100;
    static const int COPY_ATTEMPTS = 4;

    void Worker();
    RESULT CopyAll(BackupMedium* target, int& count, int& total);
    RESULT CopyOne(const std::shared_ptr<CopyFile>& entry, int count, int total);
    void PostResult(RESULT result, int count, int total);

    void OnTimer(ipc_msg_t& msg);
    void OnCopyBegins(ipc_msg_t& msg);
    void OnCopyProgresses();
    void OnCopyClosing();
    void OnCopyEnds();
    void OnCopyFailure();
    void OnNotEnoughSpace();
    void OnUserStops();
    void OnCopyProcedureEnds();

    void SetProcess(STR::ID text);
    void ShowSpinner(bool shown);
    void ShowBar(bool shown, int width);
    void Join();

    int _index = 0;
    std::atomic<bool> _cancel { false };
    STATE _state = MAKE_LIST;
    std::thread _t;
    char _filename[32] = {};
    char _process[64] = {};
    const int _spinner[SPINNER_FRAMES] = { 2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007 };
    std::recursive_mutex _mutex;
    WorkerReports _reports;
};

} // namespace vk
