#pragma once
// Formats a backup medium on a worker thread and shows how it went. The worker
// only formats and posts, each report until the bus takes it; the window
// closes back to its caller, or on to the copy that asked for the format.

#include "dashrec/core/StorageMedium.h"
#include "dashrec/menus/WorkerReports.h"
#include "dashrec/ui/MessageHandler.h"

#include <thread>

namespace vk {

class CFormatProcedure : public MessageHandler {
public:
    struct Kind {
        const char* tag;
        // The window whose own menu entry opens this format; it gets the window back.
        WND::ID ownMenu;
        STR::ID formatting;
        STR::ID done;
        STR::ID failure;
        BackupMedium* (*medium)();
    };

    explicit CFormatProcedure(WND::ID wnd);
    ~CFormatProcedure() override;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t&) override {}

protected:
    CFormatProcedure(WND::ID wnd, const Kind& kind);

private:
    static const int PAUSE_BEFORE_CLOSE = 2;

    void Worker();
    void OnFormatBegins();
    void OnFormatEnds();
    void OnFormatFailure();
    void OnFormatProcedureEnds();
    void ShowProcess(STR::ID text);
    void Join();

    const Kind& _kind;
    std::thread _t;
    const int TXT_PROCESS = 1000;
    bool _succeeded = false;
    WorkerReports _reports;
};

class CUSBFormatProcedure : public CFormatProcedure {
public:
    explicit CUSBFormatProcedure(WND::ID wnd);
};

} // namespace vk
