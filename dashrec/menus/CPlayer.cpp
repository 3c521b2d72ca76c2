#include "dashrec/menus/CPlayer.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CopyList.h"
#include "dashrec/menus/MenuHelpers.h"

#include <cstdio>
#include <cstring>

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

BmDemux& Demux()
{
    return BmWorks::Inst()->bmDemux;
}

const char* const DEF_EXT_NAME = ".MP4";
// Shorter files are not worth playing.
constexpr int SHORTEST_PLAYABLE_MS = 2001;
// Consecutive update ticks on which a playing file did not move: its end.
constexpr int STILL_TICKS_AT_END = 3;
constexpr int STORAGE_CHOICE_SPACING = 64;

// The control bar.
const int BAR[] = {
    CPlayer::TITLEBAR, CPlayer::TXT_TITLE, CPlayer::PLAYTIMEBAR, CPlayer::TXT_PLAYTIME,
    CPlayer::BTN_EXIT, CPlayer::BTN_RW, CPlayer::BTN_PLAY, CPlayer::BTN_FF,
    CPlayer::RECT_PROG_BG, CPlayer::RECT_PROG_DATA, CPlayer::BTN_TOGGLE, CPlayer::BTN_COPY,
};
const int POPUPS[] = { CPlayer::IMG_FSEEK, CPlayer::IMG_PAUSE, CPlayer::IMG_PLAY, CPlayer::IMG_RSEEK };

} // namespace

CPlayer::CPlayer(WND::ID wnd) : MessageHandler(wnd, 8)
{
    AddContent(STR::MENU_RETURN);
    for (int i = 0; i < 7; i++)
        AddContent(STR::EMPTY);
    if (GetStateComponent(_wnd, TXT_TITLE) == nullptr)
        std::printf("CPlayer ID:%d\n", _wnd);
    menus::BindText(*this, TXT_TITLE, _title, "title != nullptr");
    menus::BindText(*this, TXT_PLAYTIME, _playtime, "playtime != nullptr");
}

obj_common* CPlayer::Child(int id)
{
    return menus::Child(*this, id, "obj != nullptr");
}

void CPlayer::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, "[CPlayer]"))
        return;
    if (menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
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

void CPlayer::OnInit(ipc_msg_t& msg)
{
    SetCaller(static_cast<WND::ID>(msg.param1));
    SetTitle();
    Log()->Print("[CPlayer]_caller[%d]%s playing\n", _caller, _title);
    _duration = _position = _prevPosition = _positionSameCount = _previousPlayPosition = -1;
    _started = false;
    _isFileSwaped = false;
    _play_status = true;
    _touch_count = false;
    Child(BTN_PLAY)->SetNormal();
    ClearPopupIcon();
    HideSelectStorage();

    Singleton<FileLists>::Inst()->GetPlayFile(_fullname);
    Demux().SetFile(_fullname, 0);
    Log()->Print("[CPlayer]%s playing\n", _fullname);
    BmVideo::SetVisible(false);

    SetToggleShowTimer();
    SetTimer(TIMER::START_PLAY, SEC_1);
    ShowButtons();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CCopyPlayer::OnInit(ipc_msg_t& msg)
{
    CPlayer::OnInit(msg);
    menus::Child(*this, BTN_COPY, "copy != nullptr")->SetShow();
}

void CPlayer::SetTitle()
{
    char temp[32];
    Singleton<FileLists>::Inst()->GetTitle(temp);
    VK_ASSERT(strstr(temp, DEF_EXT_NAME) != nullptr);
    size_t length = std::strlen(temp) - std::strlen(DEF_EXT_NAME);
    std::snprintf(_title, sizeof(_title), "%.*s", static_cast<int>(length), temp);
    VK_ASSERT(strlen(_title) < sizeof(_title));
    _duration = 0;
    _position = 0;
    std::snprintf(_playtime, sizeof(_playtime), "%02d/%02d", _position, _duration);
    SetProgress(0);
}

void CPlayer::SetProgress(int width)
{
    Child(RECT_PROG_DATA)->area.w = static_cast<Uint16>(width);
}

void CPlayer::SetToggleShowTimer()
{
    FileLists* lists = Singleton<FileLists>::Inst();
    obj_common* toggle = Child(BTN_TOGGLE);
    bool front = lists->IsPlayFileFront();
    if (front ? lists->DoesRearFileExist() : lists->DoesFrontFileExist()) {
        toggle->SetShow();
        if (front)
            toggle->SetNormal();
        else
            toggle->SetFocus();
    } else {
        toggle->SetHide();
    }
}

void CPlayer::CloseToCaller()
{
    SendMessage(_wnd, WM::CLOSE, _caller, _wnd);
}

void CPlayer::OnTimer(ipc_msg_t& msg)
{
    switch (msg.param1) {
    case TIMER::START_PLAY:
        OnStartPlay();
        break;
    case TIMER::START_SHOW:
        OnStartShow();
        break;
    case TIMER::UPDATE_VIEW:
        OnUpdateView();
        break;
    case TIMER::HIDE_ICONS:
        ClearPopupIcon();
        SendMessage(_wnd, WM::PAINT, 0, 0);
        break;
    case TIMER::HIDE_TOGGLE:
        HideButtons();
        break;
    case TIMER::EXIT_BY_PAUSE:
        CloseToCaller();
        break;
    default:
        Log()->Print("[CPlayer]tid[%d] is not handled\n", msg.param1);
        break;
    }
}

void CPlayer::OnStartPlay()
{
    _position = _prevPosition = _positionSameCount = 0;
    _duration = Demux().GetDurationMsec();
    if (_duration < SHORTEST_PLAYABLE_MS) {
        Log()->Print("[CPlayer]Too short video:%d ms\n", _duration);
        CloseToCaller();
        return;
    }
    Demux().Play();
    SetTimer(TIMER::START_SHOW, SEC_1);
}

void CPlayer::OnStartShow()
{
    _started = true;
    Child(BTN_PLAY)->SetFocus();
    if (_isFileSwaped)
        Demux().Seek(_previousPlayPosition);
    SetTimer(TIMER::UPDATE_VIEW, MS_100);
}

void CPlayer::OnUpdateView()
{
    BmDemux& demux = Demux();
    if (_started) {
        if (demux.IsPlaying()) {
            if (!demux.IsStreamValid()) {
                BmVideo::SetVisible(false);
            } else if (!BmVideo::IsVisible()) {
                BmVideo::SetVisible(true);
                BmVideo::HideSmallVideoOut();
            }
        }
        _position = demux.Position();
        // Only an end stands still for good: a seek or a resume may hold the
        // picture for a tick or two anywhere in a file.
        if (_position != _prevPosition)
            _positionSameCount = 0;
        if (demux.IsPlaying() && _position == _prevPosition && ++_positionSameCount >= STILL_TICKS_AT_END) {
            BmVideo::SetVisible(false);
            Log()->Print("[CPlayer]End of file, stop playing\n");
            CloseToCaller();
            return;
        }
        _prevPosition = _position;
    }
    std::snprintf(_playtime, sizeof(_playtime), "%02d/%02d", _position / SEC_1, _duration / SEC_1);
    VK_ASSERT(strlen(_playtime) < sizeof(_playtime));
    if (_showButtons && _position <= _duration) {
        int durationSec = _duration / SEC_1;
        SetProgress(durationSec < 1 ? 0 : _position / SEC_1 * PROGRESS_WIDTH / durationSec);
    }
    SetTimer(TIMER::UPDATE_VIEW, MS_100);
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CPlayer::ClearPopupIcon()
{
    for (int id : POPUPS)
        Child(id)->SetHide();
}

void CPlayer::ShowPopup(int image)
{
    ClearPopupIcon();
    Child(image)->SetShow();
}

void CPlayer::Play()
{
    ShowPopup(IMG_PLAY);
    Child(BTN_PLAY)->SetFocus();
    Demux().Play();
    _positionSameCount = 0;
    KillTimer(TIMER::EXIT_BY_PAUSE);
    Log()->Print("[CPlayer]Toggle from pause to play\n");
}

void CPlayer::Pause()
{
    ShowPopup(IMG_PAUSE);
    Child(BTN_PLAY)->SetNormal();
    Demux().Pause();
    // A paused player goes back to its list.
    SetTimer(TIMER::EXIT_BY_PAUSE, SEC_20);
    Log()->Print("[CPlayer]Toggle from play to pause\n");
}

void CPlayer::ShowButtons()
{
    _showButtons = true;
    for (int id : BAR)
        Child(id)->SetShow();
    // The switch only where there is a twin to switch to.
    SetToggleShowTimer();
    SendMessage(_wnd, WM::PAINT, 0, 0);
    SetTimer(TIMER::HIDE_TOGGLE, SEC_5);
}

void CPlayer::HideButtons()
{
    _showButtons = false;
    for (int id : BAR)
        Child(id)->SetHide();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CPlayer::ShowSelectStorage(int x, int y)
{
    static_cast<obj_button*>(Child(BT_SDCARD))->SetPosition(static_cast<Sint16>(x), static_cast<Sint16>(y));
    static_cast<obj_button*>(Child(BT_USB))
        ->SetPosition(static_cast<Sint16>(x), static_cast<Sint16>(y + STORAGE_CHOICE_SPACING));
    Child(BT_SDCARD)->SetShow();
    Child(BT_USB)->SetShow();
}

void CPlayer::HideSelectStorage()
{
    Child(BT_SDCARD)->SetHide();
    Child(BT_USB)->SetHide();
}

void CPlayer::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    VK_ASSERT(GetStateComponent(_wnd, BT_USB) != nullptr);
    switch (msg.param1) {
    case PARAM1::KEY_OK:
        OnKeyOk(static_cast<int>(_buttons.focused));
        break;
    case PARAM1::KEY_MENU:
        VK_ASSERT(_caller != WND::INVALID);
        Log()->Print("[CPlayer]KEY_MENU pressed, closing\n");
        SendMessage(_wnd, WM::CLOSE, WND::PREVIOUS_MENU, _wnd);
        break;
    case PARAM1::LONG_KEY_OK:
        SwapFrontRear();
        break;
    case PARAM1::TOUCH:
        OnTouch();
        break;
    default:
        Log()->Print("[CPlayer] OnButton = %d", msg.param1);
        break;
    }
    // Any key keeps the control bar up for another 5 s.
    if (_showButtons)
        SetTimer(TIMER::HIDE_TOGGLE, SEC_5);
    else
        ShowButtons();
}

void CPlayer::OnKeyOk(int focused)
{
    bool playControl = focused == BTN_RW || focused == BTN_PLAY || focused == BTN_FF || focused == BTN_TOGGLE;
    if (playControl && _touch_count)
        return;
    switch (focused) {
    case BTN_EXIT:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
        break;
    case BTN_RW:
        SeekBackward();
        break;
    case BTN_PLAY:
        TogglePlay();
        break;
    case BTN_FF:
        SeekForward();
        break;
    case BTN_TOGGLE:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_OK, 0);
        break;
    case BTN_COPY:
        Copy();
        break;
    default:
        break;
    }
}

void CPlayer::SeekBackward()
{
    ShowPopup(IMG_RSEEK);
    SetTimer(TIMER::HIDE_ICONS, MS_500);
    int target = Demux().Position() - SEEK_STEP;
    Demux().Seek(target < 1 ? 0 : target);
    SendMessage(_wnd, WM::PAINT, 0, 0);
    Log()->Print("[CPlayer]Backward Seek\n");
    SetToggleShowTimer();
}

void CPlayer::SeekForward()
{
    ShowPopup(IMG_FSEEK);
    SetTimer(TIMER::HIDE_ICONS, MS_500);
    int target = Demux().Position() + SEEK_STEP;
    if (target >= _duration) {
        target = _duration;
        CloseToCaller();
    }
    Demux().Seek(target);
    SendMessage(_wnd, WM::PAINT, 0, 0);
    Log()->Print("[FilePlayer]Forward Seek\n");
    SetToggleShowTimer();
}

void CPlayer::TogglePlay()
{
    if (Demux().IsPlaying())
        Pause();
    else
        Play();
    SetToggleShowTimer();
    SetTimer(TIMER::HIDE_ICONS, MS_500);
}

void CPlayer::Copy()
{
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed() && Singleton<Storage>::Inst()->IsSdCardInserted()) {
        Log()->Print("[CPlayer]LAST_5_MINUTES selected (SD)\n");
        SdCard* sd = Singleton<SdCard>::Inst();
        sd->MakeDirectories();
        CopyList* copies = Singleton<CopyList>::Inst();
        copies->SetListType(LISTTYPE::PLAYBACK_FILE_LIST);
        copies->SetListMedia(LISTMEDIA::SDCARD);
        SendMessage(_wnd, WM::CLOSE, sd->IsFat() ? WND::COPY_PROCEDURE : WND::SD_FORMAT_DIALOG, _caller);
        return;
    }
    Log()->Print("[CPlayer]No USB\n");
    CMainDvr* dvr = Singleton<CMainDvr>::Inst();
    dvr->SetMessageBox(STR::NO_USB_MEMORY, dvr->GetMenuId(-1));
}

void CPlayer::SwapFrontRear()
{
    FileLists* lists = Singleton<FileLists>::Inst();
    if (lists->DoesPairFileExist()) {
        _isFileSwaped = true;
        _previousPlayPosition = Demux().Position();
        KillTimer(TIMER::UPDATE_VIEW);
        BmVideo::SetVisible(false);
        Demux().Stop();
        lists->SwapFrontRearFile();
        SetTitle();
        SendMessage(_wnd, WM::PAINT, 0, 0);
        Log()->Print("[CPlayer]Toggle front/rear file\n");
        lists->GetPlayFile(_fullname);
        Demux().SetFile(_fullname, 0);
        SetTimer(TIMER::START_PLAY, SEC_1);
    }
    SetToggleShowTimer();
}

void CPlayer::OnTouch()
{
    if (!Child(BT_USB)->IsShown()) {
        _touch_count = false;
        return;
    }
    HideSelectStorage();
    if (_play_status) {
        Play();
        SetTimer(TIMER::HIDE_ICONS, MS_500);
    }
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CPlayer::OnClose(ipc_msg_t& msg)
{
    MessageHandler::OnClose(msg);
    BmVideo::SetVisible(false);
    Demux().Stop();
}

} // namespace vk
