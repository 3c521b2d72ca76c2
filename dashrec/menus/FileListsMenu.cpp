#include "dashrec/menus/FileListsMenu.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/MenuHelpers.h"

#include <chrono>

namespace vk {

namespace {

constexpr int CLOCK_TICK_MS = 100;

} // namespace

FileListsMenu::FileListsMenu(WND::ID wnd, int buttons, const char* tag, const char* backLog)
    : MessageHandler(wnd, buttons), _tag(tag), _backLog(backLog), _reports(wnd)
{
}

FileListsMenu::~FileListsMenu()
{
    Join();
}

bool FileListsMenu::LoadIfStale()
{
    // The window can be opened again before it was closed: an earlier loader
    // is joined first, as a thread object that still holds one cannot take
    // another (that would end the program).
    Join();
    if (!Singleton<FileLists>::Inst()->NeedReload()) {
        _blockKeys = false;
        _threadStarts = false;
        OnUpdate();
        return false;
    }
    _timerIndex = 0;
    _blockKeys = true;
    _threadStarts = true;
    _finishLoading = false;
    // The first clock frame is drawn at once.
    SendMessage(_wnd, WM::TIMER, TIMER::WAITING_FILELISTS, 0);
    _reports.Open();
    _t = std::thread(&FileListsMenu::LoadLists, this);
    return true;
}

// Loading shows the clock for a second at least, so that it is seen.
void FileListsMenu::LoadLists()
{
    using namespace std::chrono;
    auto begin = steady_clock::now();
    Singleton<FileLists>::Inst()->Open();
    auto took = duration_cast<microseconds>(steady_clock::now() - begin);
    if (duration_cast<seconds>(took).count() == 0)
        std::this_thread::sleep_for(seconds(1) - took);
    _reports.Send(WM::UPDATE, 0, 0);
}

void FileListsMenu::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, _tag) || menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::UPDATE:
        OnUpdate();
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::CONNECT_USB:
        SendMessage(_wnd, WM::CLOSE, WND::LIVEVIEW, _wnd);
        break;
    default:
        break;
    }
}

void FileListsMenu::OnUpdate()
{
    _timerIndex = 0;
    _blockKeys = false;
    _finishLoading = true;
    for (int id : _timer)
        menus::Show(*this, id, false);
    UpdateSubText();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void FileListsMenu::ShowClockFrame(unsigned frame)
{
    for (unsigned i = 0; i < CLOCK_FRAMES; i++)
        menus::Show(*this, _timer[i], i == frame);
}

void FileListsMenu::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::WAITING_FILELISTS) {
        Singleton<SDDebug>::Inst()->Print("%stid[%d] is not handled\n", _tag, msg.param1);
        return;
    }
    if (_finishLoading)
        return;
    ShowClockFrame(static_cast<unsigned>(_timerIndex));
    _timerIndex = (_timerIndex + 1) % CLOCK_FRAMES;
    SendMessage(_wnd, WM::PAINT, 0, 0);
    SetTimer(TIMER::WAITING_FILELISTS, CLOCK_TICK_MS);
}

void FileListsMenu::OnButton(ipc_msg_t& msg)
{
    if (_blockKeys)
        return;
    MessageHandler::OnButton(msg);
    switch (msg.param1) {
    case PARAM1::KEY_MENU:
        Singleton<SDDebug>::Inst()->Print("%s", _backLog);
        SendMessage(_wnd, WM::CLOSE, WND::PREVIOUS_MENU, _wnd);
        break;
    case PARAM1::KEY_HOME:
        Singleton<SDDebug>::Inst()->Print("[Main Menu]Back to Liveview\n");
        menus::BackToLiveview(*this);
        break;
    case PARAM1::KEY_OK:
        OnKeyOk();
        break;
    default:
        break;
    }
}

void FileListsMenu::OnKeyOk()
{
    STR::ID item = GetStringIdOfFocusedButton();
    if (item == STR::HOME)
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_HOME, PARAM2::NO_SOUND);
    else if (item == STR::MENU_RETURN)
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
    else
        OnItem(item);
}

void FileListsMenu::OnClose(ipc_msg_t& msg)
{
    MessageHandler::OnClose(msg);
    Join();
}

void FileListsMenu::Join()
{
    _reports.Close();
    if (_threadStarts && _t.joinable())
        _t.join();
    _threadStarts = false;
}

} // namespace vk
