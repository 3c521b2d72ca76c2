#include "dashrec/menus/FormatChain.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"

#include <fcntl.h>
#include <unistd.h>

namespace vk {

namespace {

void Print(const char* line)
{
    Singleton<SDDebug>::Inst()->Print("%s", line);
}

// The launcher only tests whether a marker exists.
void TouchMarker(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        close(fd);
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

void LeaveFormatMarkers(bool sdCard)
{
    Pref* pref = Singleton<Pref>::Inst();
    char path[128];
    TouchMarker("/tmp/format");
    if (sdCard)
        TouchMarker("/tmp/blk1");
    VK_FORMAT_COMMAND(path, "/tmp/f%s", pref->GetFrontCameraResolutionHeightString().c_str());
    TouchMarker(path);
    VK_FORMAT_COMMAND(path, "/tmp/r%s", pref->GetRearCameraResolutionHeightString().c_str());
    TouchMarker(path);
    VK_FORMAT_COMMAND(path, "/tmp/p%d", pref->GetFps());
    TouchMarker(path);
    VK_FORMAT_COMMAND(path, "/tmp/k%d", pref->GetParkingFps());
    TouchMarker(path);
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
    LeaveFormatMarkers(IsSdCardMedium());
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

void CFormatting::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::CLOSE_PAGE)
        Close(WND::FORMAT_SUCCESS);
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
