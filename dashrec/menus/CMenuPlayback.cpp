#include "dashrec/menus/CMenuPlayback.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

#include <chrono>
#include <cstdio>

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

// The folders in button order, with the list window each opens.
struct Folder {
    STR::ID text;
    const char* name;
    WND::ID list;
    const char* emptyLog;
};

const Folder FOLDERS[] = {
    { STR::NORMAL_REC, "NORMAL", WND::NORMAL_LIST, "[CMenuPlayback]NORMAL_RECORDING empty\n" },
    { STR::EVENT_REC, "EVENT", WND::EVENT_LIST, "[CMenuPlayback]EVENT_RECORDING empty\n" },
    { STR::MANUAL_REC, "MANUAL", WND::MANUAL_LIST, "[CMenuPlayback]MANUAL_RECORDING empty\n" },
    { STR::PARKING_REC, "PARKING", WND::PARKING_LIST, "[CMenuPlayback]PARKING_RECORDING empty\n" },
};

// The folder buttons follow HOME and MENU_RETURN.
constexpr int FIRST_FOLDER_BUTTON = 2;
constexpr int CLOCK_TICK_MS = 100;

} // namespace

CMenuPlayback::CMenuPlayback(WND::ID wnd) : MessageHandler(wnd, 6)
{
    for (STR::ID text : { STR::HOME, STR::MENU_RETURN })
        AddContent(text);
    for (const Folder& folder : FOLDERS)
        AddContent(folder.text);
    for (int i = 0; i < FOLDER_COUNT; i++) {
        int id = TXTSUB_OFFSET + FIRST_FOLDER_BUTTON + i;
        obj_common* sub = GetStateComponent(_wnd, id);
        if (sub == nullptr) {
            std::printf("id:%d, sub:%d\n", _wnd, id);
            VK_ASSERT(sub != nullptr);
        }
        menus::BindText(*this, id, _sub[i], "sub != nullptr");
    }
    SetStartPage();
}

CMenuPlayback::~CMenuPlayback()
{
    Join();
}

void CMenuPlayback::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, "[CMenuPlayback]"))
        return;
    if (menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::UPDATE:
        OnUpdate();
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::CONNECT_USB:
        OnConnectUSB();
        break;
    case WM::DISCONNECT_USB:
        OnDisconnectUSB();
        break;
    default:
        break;
    }
}

void CMenuPlayback::OnInit(ipc_msg_t& msg)
{
    SetCaller(static_cast<WND::ID>(msg.param1));
    Log()->Print("[CMenuPlayback]OnInit, _caller[%d]\n", _caller);
    menus::BindText(*this, ID_VERSION, Resource::Inst()->GetVersion(), "version != nullptr");
    SendMessage(_wnd, WM::PAINT, 0, 0);
    if (!Singleton<FileLists>::Inst()->NeedReload()) {
        _blockKeys = false;
        _threadStarts = false;
        OnUpdate();
        return;
    }
    _timerIndex = 0;
    _blockKeys = true;
    _threadStarts = true;
    _finishLoading = false;
    for (char* sub : _sub)
        std::snprintf(sub, sizeof(_sub[0]), "0");
    // The first clock frame is drawn at once.
    SendMessage(_wnd, WM::TIMER, TIMER::WAITING_FILELISTS, 0);
    _t = std::thread(&CMenuPlayback::LoadLists, this);
}

// Loading shows the clock for a second at least, so that it is seen.
void CMenuPlayback::LoadLists()
{
    using namespace std::chrono;
    auto begin = steady_clock::now();
    Singleton<FileLists>::Inst()->Open();
    auto took = duration_cast<microseconds>(steady_clock::now() - begin);
    if (duration_cast<seconds>(took).count() == 0)
        std::this_thread::sleep_for(seconds(1) - took);
    UIQueue::Inst()->SendMessage(_wnd, WM::UPDATE, 0, 0, nullptr);
}

void CMenuPlayback::OnUpdate()
{
    _timerIndex = 0;
    _blockKeys = false;
    _finishLoading = true;
    for (int id : _timer)
        menus::Show(*this, id, false);
    UpdateSubText();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CMenuPlayback::ShowClockFrame(unsigned frame)
{
    for (unsigned i = 0; i < CLOCK_FRAMES; i++)
        menus::Show(*this, _timer[i], i == frame);
}

void CMenuPlayback::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::WAITING_FILELISTS) {
        Log()->Print("[CMenuPlayback]tid[%d] is not handled\n", msg.param1);
        return;
    }
    if (_finishLoading)
        return;
    ShowClockFrame(static_cast<unsigned>(_timerIndex));
    _timerIndex = (_timerIndex + 1) % CLOCK_FRAMES;
    SendMessage(_wnd, WM::PAINT, 0, 0);
    SetTimer(TIMER::WAITING_FILELISTS, CLOCK_TICK_MS);
}

void CMenuPlayback::UpdateSubText()
{
    FileLists* lists = Singleton<FileLists>::Inst();
    for (int i = 0; i < FOLDER_COUNT; i++)
        std::snprintf(_sub[i], sizeof(_sub[i]), "%zu", lists->GetSize(FOLDERS[i].name));
}

void CMenuPlayback::OnButton(ipc_msg_t& msg)
{
    if (_blockKeys)
        return;
    MessageHandler::OnButton(msg);
    switch (msg.param1) {
    case PARAM1::KEY_MENU:
        Log()->Print("[CMenuPlayback]KEY_MENU pressed, closing\n");
        SendMessage(_wnd, WM::CLOSE, WND::PREVIOUS_MENU, _wnd);
        break;
    case PARAM1::KEY_HOME:
        Log()->Print("[Main Menu]Back to Liveview\n");
        menus::BackToLiveview(*this);
        break;
    case PARAM1::KEY_OK:
        OnKeyOk();
        break;
    default:
        break;
    }
}

void CMenuPlayback::OnKeyOk()
{
    STR::ID text = GetStringIdOfFocusedButton();
    for (const Folder& folder : FOLDERS) {
        if (folder.text != text)
            continue;
        if (Singleton<FileLists>::Inst()->GetSize(folder.name) != 0)
            SendMessage(_wnd, WM::CLOSE, folder.list, _wnd);
        else
            Log()->Print("%s", folder.emptyLog);
        return;
    }
    if (text == STR::MENU_RETURN)
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
    else if (text == STR::HOME)
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_HOME, PARAM2::NO_SOUND);
    else
        VK_ASSERT(0 && "[CMenuPlayback]Invalid string id");
}

void CMenuPlayback::OnConnectUSB()
{
    SendMessage(_wnd, WM::CLOSE, WND::LIVEVIEW, _wnd);
}

void CMenuPlayback::OnClose(ipc_msg_t& msg)
{
    MessageHandler::OnClose(msg);
    Join();
}

void CMenuPlayback::Join()
{
    if (_threadStarts && _t.joinable())
        _t.join();
    _threadStarts = false;
}

} // namespace vk
