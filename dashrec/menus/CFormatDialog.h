#pragma once
// The question before a backup medium is formatted: the SD card (from the
// memory menu, or from a copy that found the card not FAT) or the USB stick.
// OK hands over to the medium's progress window.

#include "dashrec/core/Storage.h"
#include "dashrec/ui/MessageHandler.h"

namespace vk {

class CFormatDialog : public MessageHandler {
public:
    static const int QUESTION_LINES = 3;

    struct Kind {
        const char* tag;
        // The caller that asks for a plain format; any other caller formats before a copy.
        WND::ID ownMenu;
        STR::ID plainFormat[QUESTION_LINES];
        STR::ID beforeCopy[QUESTION_LINES];
        WND::ID procedure;
        STR::ID noMedium;
        bool (Storage::*isInserted)();
        // Home goes to the recording-medium format first when the settings need one.
        bool homeChecksFormat;
    };

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    CFormatDialog(WND::ID wnd, const Kind& kind);

private:
    static const int FIRST_QUESTION = 1000;

    void OnOk();
    void OnHome();
    void CloseTo(int target, int param2);

    const Kind& _kind;
};

class CSDFormat : public CFormatDialog {
public:
    explicit CSDFormat(WND::ID wnd);
};

class CUSBFormat : public CFormatDialog {
public:
    explicit CUSBFormat(WND::ID wnd);
};

} // namespace vk
