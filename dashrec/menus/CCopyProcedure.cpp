#include "dashrec/menus/CCopyProcedure.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/UsbMemory.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/CopyList.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "dashrec/menus/MenuHelpers.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const useconds_t AFTER_PROGRESS_US = 500;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

BackupMedium* Target(LISTMEDIA::VALUE media)
{
    if (media == LISTMEDIA::USB)
        return Singleton<UsbMemory>::Inst();
    return Singleton<SdCard>::Inst();
}

// A copy on the target counts only when it is whole: a file cut short by an
// earlier copy that was interrupted is copied again.
bool IsCopied(const std::string& source, const std::string& destination)
{
    struct stat from {};
    struct stat to {};
    return stat(destination.c_str(), &to) == 0 && stat(source.c_str(), &from) == 0 && to.st_size == from.st_size;
}

} // namespace

CCopyProcedure::CCopyProcedure(WND::ID wnd) : MessageHandler(wnd, 1), _reports(wnd)
{
    AddContent(STR::EDIT_CANCEL);
    SetStartPage();
}

CCopyProcedure::~CCopyProcedure()
{
    Join();
}

void CCopyProcedure::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, "[CCopyProcedure]") || menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::COPY_BEGINS:
        OnCopyBegins(msg);
        break;
    case WM::COPY_ENDS:
        OnCopyEnds();
        break;
    case WM::COPY_CLOSING:
        OnCopyClosing();
        break;
    case WM::COPY_PROGRESSES:
        OnCopyProgresses();
        break;
    case WM::COPY_FAILURE:
        OnCopyFailure();
        break;
    case WM::COPY_NOT_ENOUGHT_SPACE:
        OnNotEnoughSpace();
        break;
    case WM::COPY_PROCEDURE_ENDS:
        OnCopyProcedureEnds();
        break;
    case WM::COPY_USER_STOPS:
        OnUserStops();
        break;
    default:
        // UPDATE, SETFOCUS, KILLFOCUS, RESTART, CHANGE_PAGE, FORMAT_CARD, WIFI and the rest.
        break;
    }
}

void CCopyProcedure::OnInit(ipc_msg_t& msg)
{
    _index = 0;
    _cancel = false;
    _state = MAKE_LIST;
    SetCaller(WND::ID(msg.param1));
    Log()->Print("[CCopyProcedure]_caller[%d]\n", _caller);
    ShowSpinner(false);
    ShowBar(false, 0);
    SetTimer(TIMER::WAITING_FILELISTS, SPINNER_MS);
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        std::snprintf(_filename, sizeof(_filename), "    ");
        obj_text* name = static_cast<obj_text*>(GetStateComponent(_wnd, TXT_FILENAME));
        name->text_ptr = _filename;
    }
    static_cast<obj_text*>(GetStateComponent(_wnd, TXT_PROCESS))->text_ptr = _process;
    menus::Show(*this, TXT_PROCESS, true);
    SetProcess(STR::PREPARING);
    Singleton<Sound>::Inst()->Play(Sound::copy_begin);
    Join();
    _reports.Open();
    _t = std::thread(&CCopyProcedure::Worker, this);
}

void CCopyProcedure::Worker()
{
    LISTMEDIA::VALUE media = Singleton<CopyList>::Inst()->GetListMedia();
    BackupMedium* target = Target(media);
    // A medium pulled since the menu checked it leaves only the bare mount
    // point, and a copy there would fill the board's memory and look done.
    bool present = target->IsIn() == 1;
    if (present) {
        target->Mount();
        target->MakeDirectories();
    }
    int count = 0;
    int total = 0;
    RESULT result = present ? CopyAll(target, count, total) : FAILURE;
    if (result == SUCCESS) {
        if (media == LISTMEDIA::USB)
            Log()->CopyHistoryToUsb();
        else
            Log()->CopyHistory();
        _reports.Send(WM::COPY_CLOSING, 0, 0);
    }
    target->Sync();
    target->Unmount();
    PostResult(result, count, total);
    sleep(PAUSE_BEFORE_CLOSE);
    _reports.Send(WM::COPY_PROCEDURE_ENDS, 0, 0);
}

void CCopyProcedure::PostResult(RESULT result, int count, int total)
{
    static const int REPORTS[] = { WM::COPY_ENDS, WM::COPY_FAILURE, WM::COPY_NOT_ENOUGHT_SPACE, WM::COPY_USER_STOPS };
    if (result == SUCCESS)
        _reports.Send(REPORTS[result], count, total);
    else
        _reports.Send(REPORTS[result], 0, 0);
}

CCopyProcedure::RESULT CCopyProcedure::CopyAll(BackupMedium* target, int& count, int& total)
{
    CopyList* copyList = Singleton<CopyList>::Inst();
    if (copyList->MakeList() != 1)
        return NOT_ENOUGH_SPACE;
    std::list<std::shared_ptr<CopyFile>> files = copyList->GetList();
    total = static_cast<int>(files.size());
    _reports.Send(WM::COPY_BEGINS, 0, total);
    for (const std::shared_ptr<CopyFile>& entry : files) {
        if (_cancel)
            return USER_STOP;
        // A medium pulled during the copy fails it, whatever its mount point still takes.
        if (target->IsIn() == 0) {
            Log()->Print("[CCopyProcedure]the backup medium is gone\n");
            return FAILURE;
        }
        {
            std::lock_guard<std::recursive_mutex> lock(_mutex);
            if (std::snprintf(_filename, sizeof(_filename), "%s", entry->name->c_str())
                >= static_cast<int>(sizeof(_filename)))
                VK_ASSERT_REPORT("strlen(_filename) < sizeof(_filename)");
        }
        ++count;
        _reports.Progress(WM::COPY_PROGRESSES, count, total);
        usleep(AFTER_PROGRESS_US);
        Log()->Print("copy(%d/%d):%s(%d)\n", count, total, entry->name->c_str(), entry->size);
        RESULT result = CopyOne(entry, count, total);
        if (result != SUCCESS)
            return result;
    }
    return SUCCESS;
}

CCopyProcedure::RESULT CCopyProcedure::CopyOne(const std::shared_ptr<CopyFile>& entry, int count, int total)
{
    std::string destination = entry->Destination();
    for (int attempt = 1; attempt <= COPY_ATTEMPTS; ++attempt) {
        if (IsCopied(entry->fullname, destination)) {
            Log()->Print("already exists, next file\n");
            _reports.Progress(WM::COPY_PROGRESSES, count, total);
            return SUCCESS;
        }
        if (!Singleton<CopyList>::Inst()->Copy(entry))
            return FAILURE;
        if (IsCopied(entry->fullname, destination)) {
            Log()->Print("cp success, next file\n");
            _reports.Progress(WM::COPY_PROGRESSES, count, total);
            return SUCCESS;
        }
        Log()->Print("%s\n", attempt < COPY_ATTEMPTS ? "cp success, but file not exists" : "cp retry, but failed");
    }
    return FAILURE;
}

void CCopyProcedure::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::WAITING_FILELISTS || _state != MAKE_LIST)
        return;
    menus::Show(*this, _spinner[_index], false);
    _index = (_index + 1) % SPINNER_FRAMES;
    menus::Show(*this, _spinner[_index], true);
    SendMessage(_wnd, WM::PAINT, 0, 0);
    SetTimer(TIMER::WAITING_FILELISTS, SPINNER_MS);
}

void CCopyProcedure::OnCopyBegins(ipc_msg_t& msg)
{
    Log()->Print("[CCopyProcedure]OnCopyBegins()\n");
    _state = COPYING;
    ShowSpinner(false);
    std::snprintf(_process, sizeof(_process), "%s (%d/%d)", Resource::Inst()->GetString(STR::COPYING), msg.param1,
        msg.param2);
    ShowBar(true, 0);
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

// The latest figures of the worker, whatever those the report carried.
void CCopyProcedure::OnCopyProgresses()
{
    auto [count, total] = _reports.TakeProgress();
    count = count < total ? count : total;
    if (total != 0)
        ShowBar(true, count * PROGRESS_LENGTH / total);
    std::snprintf(_process, sizeof(_process), "%s (%d/%d)", Resource::Inst()->GetString(STR::COPYING), count, total);
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CCopyProcedure::OnCopyClosing()
{
    SetProcess(STR::COPY_CLOSING);
}

void CCopyProcedure::OnCopyEnds()
{
    Log()->Print("[CCopyProcedure]OnCopyEnds()\n");
    SetProcess(STR::COPY_DONE);
    Singleton<Sound>::Inst()->Play(Sound::copy_end);
}

void CCopyProcedure::OnCopyFailure()
{
    Log()->Print("[CCopyProcedure]OnCopyFailure()\n");
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        std::snprintf(_filename, sizeof(_filename), "%s", Resource::Inst()->GetString(STR::COPY_FAILURE));
    }
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CCopyProcedure::OnNotEnoughSpace()
{
    Log()->Print("[CCopyProcedure]OnNotEnoughSpace()\n");
    _state = COPYING;
    ShowSpinner(false);
    menus::Show(*this, TXT_PROCESS, true);
    SetProcess(STR::SD_NOT_ENOUGH_SPACE);
}

void CCopyProcedure::OnUserStops()
{
    Log()->Print("[CCopyProcedure]OnUserStops()\n");
    SetProcess(STR::COPY_CANCEL);
}

void CCopyProcedure::OnCopyProcedureEnds()
{
    SendMessage(_wnd, WM::CLOSE, _caller, _wnd);
}

void CCopyProcedure::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    // A key here must not start the menu time-out: closing the window while a
    // long file is still being copied would hold the main loop in the join.
    Singleton<CMainDvr>::Inst()->PauseShowMenuTimer();
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    if (GetStringIdOfFocusedButton() != STR::EDIT_CANCEL)
        VK_ASSERT_REPORT("0 && \"Invalid string id\"");
    _cancel = true;
    SetProcess(STR::COPY_CANCEL);
}

void CCopyProcedure::OnPaint(ipc_msg_t& msg)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    MessageHandler::OnPaint(msg);
}

void CCopyProcedure::OnClose(ipc_msg_t& msg)
{
    Join();
    MessageHandler::OnClose(msg);
    Singleton<Sound>::Inst()->Play(Sound::button);
}

void CCopyProcedure::SetProcess(STR::ID text)
{
    std::snprintf(_process, sizeof(_process), "%s", Resource::Inst()->GetString(text));
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CCopyProcedure::ShowSpinner(bool shown)
{
    for (int frame = 0; frame < SPINNER_FRAMES; ++frame)
        menus::Show(*this, _spinner[frame], shown && frame == _index);
}

void CCopyProcedure::ShowBar(bool shown, int width)
{
    menus::Show(*this, PGB_BACKGROUND, shown);
    for (int part : { PGB_PROG1, PGB_PROG2 }) {
        GetStateComponent(_wnd, part)->area.w = static_cast<Uint16>(width);
        menus::Show(*this, part, shown);
    }
}

void CCopyProcedure::Join()
{
    _reports.Close();
    if (_t.joinable())
        _t.join();
}

} // namespace vk
