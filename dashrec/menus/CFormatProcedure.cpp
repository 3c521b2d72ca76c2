#include "dashrec/menus/CFormatProcedure.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/UsbMemory.h"
#include "dashrec/menus/MenuHelpers.h"

#include <unistd.h>

namespace vk {

namespace {

BackupMedium* SdMedium()
{
    return Singleton<SdCard>::Inst();
}

BackupMedium* UsbMedium()
{
    return Singleton<UsbMemory>::Inst();
}

const CFormatProcedure::Kind SD_PROCEDURE = {
    "[CFormatProcedure]", WND::MEMORY, STR::FORMATTING_SD, STR::SD_FORMAT_DONE, STR::SD_FORMAT_FAILURE, SdMedium,
};

const CFormatProcedure::Kind USB_PROCEDURE = {
    "[CUSBFormatProcedure]", WND::BACKUP_FILE, STR::USB_FORMATTING, STR::USB_FORMAT_DONE, STR::USB_FORMAT_FAILURE,
    UsbMedium,
};

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

CFormatProcedure::CFormatProcedure(WND::ID wnd) : CFormatProcedure(wnd, SD_PROCEDURE) {}

CFormatProcedure::CFormatProcedure(WND::ID wnd, const Kind& kind) : MessageHandler(wnd, 0), _kind(kind), _reports(wnd)
{
}

CUSBFormatProcedure::CUSBFormatProcedure(WND::ID wnd) : CFormatProcedure(wnd, USB_PROCEDURE) {}

CFormatProcedure::~CFormatProcedure()
{
    Join();
}

void CFormatProcedure::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, _kind.tag) || menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::SD_FORMAT_BEGINS:
        OnFormatBegins();
        break;
    case WM::SD_FORMAT_ENDS:
        OnFormatEnds();
        break;
    case WM::SD_FORMAT_FAILURE:
        OnFormatFailure();
        break;
    case WM::SD_FORMAT_PROCEDURE_ENDS:
        OnFormatProcedureEnds();
        break;
    default:
        break;
    }
}

void CFormatProcedure::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log()->Print("%sOnInit() - _caller[%d]\n", _kind.tag, _caller);
    _succeeded = false;
    ShowProcess(_kind.formatting);
    Join();
    _reports.Open();
    _t = std::thread(&CFormatProcedure::Worker, this);
}

void CFormatProcedure::Worker()
{
    _reports.Send(WM::SD_FORMAT_BEGINS, 0, 0);
    bool formatted = _kind.medium()->Format();
    _reports.Send(formatted ? WM::SD_FORMAT_ENDS : WM::SD_FORMAT_FAILURE, 0, 0);
    sleep(PAUSE_BEFORE_CLOSE);
    _reports.Send(WM::SD_FORMAT_PROCEDURE_ENDS, 0, 0);
}

void CFormatProcedure::OnFormatBegins()
{
    Singleton<Sound>::Inst()->Play(Sound::format_begin);
    Log()->Print("%sOnFormatBegins()\n", _kind.tag);
}

void CFormatProcedure::OnFormatEnds()
{
    Log()->Print("%sOnFormatEnds()\n", _kind.tag);
    _succeeded = true;
    ShowProcess(_kind.done);
    Singleton<Sound>::Inst()->Play(Sound::format_end);
}

void CFormatProcedure::OnFormatFailure()
{
    Log()->Print("%sOnFormatFailure()\n", _kind.tag);
    _succeeded = false;
    ShowProcess(_kind.failure);
}

void CFormatProcedure::OnFormatProcedureEnds()
{
    // The window's own menu gets it back; a copy that asked for the format starts after a success.
    WND::ID target = _caller == _kind.ownMenu || !_succeeded ? _caller : WND::COPY_PROCEDURE;
    Log()->Print("%sOnFormatProcedureEnds() - %d\n", _kind.tag, target);
    SendMessage(_wnd, WM::CLOSE, target, target == WND::COPY_PROCEDURE ? _caller : _wnd);
}

void CFormatProcedure::OnClose(ipc_msg_t& msg)
{
    Join();
    MessageHandler::OnClose(msg);
    Singleton<Sound>::Inst()->Play(Sound::button);
}

void CFormatProcedure::ShowProcess(STR::ID text)
{
    static_cast<obj_text*>(menus::Child(*this, TXT_PROCESS, "process != nullptr"))->text_id = text;
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CFormatProcedure::Join()
{
    _reports.Close();
    if (_t.joinable())
        _t.join();
}

} // namespace vk
