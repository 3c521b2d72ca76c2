#include "dashrec/menus/FormatChain.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/menus/MenuHelpers.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vk {

namespace {

void Print(const char* line)
{
    Singleton<SDDebug>::Inst()->Print("%s", line);
}

const char* const MARKER_FOLDER = "/tmp";

// The launcher only tests whether a marker exists.
bool TouchMarker(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || close(fd) != 0) {
        Singleton<SDDebug>::Inst()->Print("[CFormatting]%s can not be written: %s\n", path, std::strerror(errno));
        return false;
    }
    return true;
}

bool IsNumber(const char* text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text)
        if (std::isdigit(static_cast<unsigned char>(*text)) == 0)
            return false;
    return true;
}

// "format", "blk1", "f" or "r" and a height word, "p" or "k" and a number.
bool IsFormatMarker(const char* name)
{
    if (std::strcmp(name, "format") == 0 || std::strcmp(name, "blk1") == 0)
        return true;
    switch (name[0]) {
    case 'f':
    case 'r':
        return std::strcmp(name + 1, "wqhd") == 0 || std::strcmp(name + 1, "fhd") == 0 || std::strcmp(name + 1, "hd") == 0;
    case 'p':
    case 'k':
        return IsNumber(name + 1);
    default:
        return false;
    }
}

// Markers of an earlier request would have the launcher format the wrong
// medium, or for two layouts at once.
void RemoveFormatMarkers()
{
    DIR* dir = opendir(MARKER_FOLDER);
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        if (IsFormatMarker(entry->d_name))
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

// Parking mode, video size, long-time recording and night vision: what the
// medium's layout and the image settings depend on.
struct LayoutSettings {
    bool parking;
    RECORDING::VIDEO_SIZE::VALUE videoSize;
    RECORDING::LONGTIME_RECORD::VALUE longTime;
    RECORDING::NIGHTVISION::VALUE nightVision;
};

LayoutSettings CurrentSettings(Pref* pref)
{
    return { pref->IsParkingModeOn(), pref->GetVideoSize(), pref->GetLongTimeRecord(), pref->GetNightvision() };
}

LayoutSettings PendingSettings(Pref* pref)
{
    return { pref->GetTempParkingMode(), pref->GetTempVideoSize(), pref->GetTempLongTimeRecord(),
             pref->GetTempNightvision() };
}

void Apply(Pref* pref, const LayoutSettings& settings)
{
    if (settings.parking)
        pref->SetParkingModeOn();
    else
        pref->SetParkingModeOff();
    pref->SetVideoSize(settings.videoSize);
    pref->SetLongTimeRecord(settings.longTime);
    pref->SetNightvision(settings.nightVision);
}

} // namespace

bool LeaveFormatMarkers(bool sdCard)
{
    Pref* pref = Singleton<Pref>::Inst();
    char path[128];
    RemoveFormatMarkers();
    bool written = TouchMarker("/tmp/format");
    if (sdCard)
        written = TouchMarker("/tmp/blk1") && written;
    VK_FORMAT_COMMAND(path, "/tmp/f%s", pref->GetFrontCameraResolutionHeightString().c_str());
    written = TouchMarker(path) && written;
    VK_FORMAT_COMMAND(path, "/tmp/r%s", pref->GetRearCameraResolutionHeightString().c_str());
    written = TouchMarker(path) && written;
    VK_FORMAT_COMMAND(path, "/tmp/p%d", pref->GetFps());
    written = TouchMarker(path) && written;
    VK_FORMAT_COMMAND(path, "/tmp/k%d", pref->GetParkingFps());
    written = TouchMarker(path) && written;
    // Half a request must not reach the launcher: it would format for a layout nobody asked for.
    if (!written)
        RemoveFormatMarkers();
    return written;
}

// Beside the common commands the screen takes the one that starts its work.
void CFormatting::OnMessage(ipc_msg_t& msg)
{
    if (msg.cmd == WM::FORMAT_SUCCESS && msg.wnd == _wnd)
        OnSuccess();
    else
        SettingsWindow::OnMessage(msg);
}

void CFormatting::OnInit(ipc_msg_t& msg)
{
    SetCaller(FormatRequest::CallerOf(msg.param1));
    _format = FormatRequest::FlagOf(msg.param1);
    Log("OnInit, _caller:%d, _format:0x%08X\n", _caller, static_cast<unsigned>(_format));
    _buttons.focused = 0;
    SetText(ID_MESSAGE, IsSdCardMedium() ? STR::FORMATTING_SD : STR::FORMATTING_INTERNAL_MEMORY, "msg1 != nullptr");
    menus::Show(*this, ID_PROGRESS_IMAGE, true);
    Singleton<LED>::Inst()->Set(LED::FORMAT);
    Paint();
    SendMessage(_wnd, WM::FORMAT_SUCCESS, 0, 0);
    Singleton<Sound>::Inst()->Play(Sound::format_begin);
}

void CFormatting::OnSuccess()
{
    Log("OnSuccess, caller:%d\n", _caller);
    SettleSettings();
    Singleton<SDDebug>::Inst()->Pause();
    _markersLeft = LeaveFormatMarkers(IsSdCardMedium());
    if (!_markersLeft) {
        SetText(ID_MESSAGE, STR::SD_FORMAT_FAILURE, "msg1 != nullptr");
        menus::Show(*this, ID_PROGRESS_IMAGE, false);
        Paint();
    }
    SetTimer(TIMER::CLOSE_PAGE, PROGRESS_MS);
}

void CFormatting::SettleSettings()
{
    Pref* pref = Singleton<Pref>::Inst();
    LayoutSettings settings = CurrentSettings(pref);
    if (_format == FormatRequest::USE_TEMP) {
        Print("[FORMAT]Use temp value\n");
        settings = PendingSettings(pref);
    } else if (_format != FormatRequest::USE_DEFAULT) {
        Print("[FORMAT]Use current setting\n");
    }
    // The microcontroller must not reset the device during the exit and the format.
    Singleton<Micom>::Inst()->SendWDTDisable();
    if (_format == FormatRequest::USE_DEFAULT) {
        Print("[FORMAT]Use default value\n");
        pref->LoadDefault();
        return;
    }
    Apply(pref, settings);
    pref->WriteIsp();
    pref->Save();
}

// Without its markers the medium is not formatted: the restart follows
// without the done screen.
void CFormatting::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::CLOSE_PAGE)
        Close(_markersLeft ? WND::FORMAT_SUCCESS : WND::RESTART);
}

void CFormatting::OnClose(ipc_msg_t& msg)
{
    Log("OnClose\n");
    MessageHandler::OnClose(msg);
    Singleton<Sound>::Inst()->Play(Sound::format_end);
}

void CSuccess::OnInit(ipc_msg_t&)
{
    Log("OnInit\n");
    SetText(ID_MESSAGE, IsSdCardMedium() ? STR::SD_FORMAT_DONE : STR::MEMORY_FORMAT_DONE, "msg1 != nullptr");
    Paint();
    SetTimer(TIMER::FORMAT_SUCCESS, SHOWN_MS);
}

void CSuccess::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::FORMAT_SUCCESS)
        Close(WND::RESTART);
}

void CRestart::OnInit(ipc_msg_t&)
{
    Log("OnInit\n");
    Paint();
    Pref* pref = Singleton<Pref>::Inst();
    SYSTEM::BOOT_MODE::VALUE status = pref->GetBootStatus();
    pref->SetBootMode(status < SYSTEM::BOOT_MODE::MAX ? status : SYSTEM::BOOT_MODE::ANNOUNCE_N_MESSAGE);
    pref->Save();
    SetTimer(TIMER::RESTART, SHOWN_MS);
}

void CRestart::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 != TIMER::RESTART)
        return;
    Print("[Restart]====================== RESTART ======================\n");
    Singleton<CMainDvr>::Inst()->ExitToShell();
}

} // namespace vk
