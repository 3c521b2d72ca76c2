#include "dashrec/dvr/CLiveview.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/RecContoller.h"
#include "dashrec/menus/EmmcInfo.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/dvr/LiveviewServices.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vk {

using namespace liveview;

namespace {

const int REGISTERED_BUTTONS[] = { 1, 2, 3, 4, 5, 6, 8, 9 };
const int TOUCH_BUTTONS[] = { 1, 2, 3, 4, 6 };
const int BAR_OBJECTS[] = { 10, 11, 12, 13, 14 };
const int LCD_CAL_TARGETS[] = { CLiveview::LCD_CAL_UL, CLiveview::LCD_CAL_UR, CLiveview::LCD_CAL_DL,
                                CLiveview::LCD_CAL_DR, CLiveview::LCD_CAL_C };
const int CLOCK_PANEL[] = { CLiveview::CLOCK_BG, CLiveview::CLOCK_TIME_HOUR, CLiveview::CLOCK_TIME_SEPERATOR,
                            CLiveview::CLOCK_TIME_MIN, CLiveview::CLOCK_DATE, CLiveview::CLOCK_MIC,
                            CLiveview::CLOCK_GPS, CLiveview::CLOCK_SPEAKER, CLiveview::CLOCK_AMPM,
                            CLiveview::CLOCK_VOLTAGE };
const int ALARM_PANEL[] = { CLiveview::ALARM_BG, CLiveview::ALARM_TITLE, CLiveview::ALARM_EVENT,
                            CLiveview::ALARM_MOTION, CLiveview::ALARM_BUTTON, CLiveview::ALARM_EXIT };
const int STORAGE_PANEL[] = { CLiveview::STORAGE_BG, CLiveview::STORAGE_TEXT_1, CLiveview::STORAGE_TEXT_2 };
const int WARNINGS[] = { CLiveview::STOP_VIOLENCE, CLiveview::LDWS_LEFT, CLiveview::LDWS_RIGHT };
const TIMER::ID CLOSING_TIMERS[] = { TIMER::CHANGE_VIEW, TIMER::HIDE_VIOLENCE, TIMER::HIDE_LDWS_LEFT,
                                     TIMER::HIDE_LDWS_RIGHT };

} // namespace

CLiveview::CLiveview(WND::ID wnd) : MessageHandler(wnd, 0)
{
    std::snprintf(_alarm.event, sizeof(_alarm.event), "N/A");
    std::snprintf(_alarm.motion, sizeof(_alarm.motion), "N/A");
    for (int id : REGISTERED_BUTTONS)
        AddButton(id);
    BindText(TXT_CLOCK, _clock, "clock != nullptr");
    BindText(TXT_VOLTAGE, _voltage, "volt != nullptr");
    BindText(CLOCK_TIME_HOUR, _time_hour, "time_hour != nullptr");
    BindText(CLOCK_TIME_SEPERATOR, _time_seperator, "time_seperator != nullptr");
    BindText(CLOCK_TIME_MIN, _time_min, "time_min != nullptr");
    BindText(CLOCK_DATE, _date, "date != nullptr");
    BindText(CLOCK_VOLTAGE, _voltage, "voltage != nullptr");
    BindText(ALARM_EVENT, _alarm.event, "alarmEvent != nullptr");
    BindText(ALARM_MOTION, _alarm.motion, "alarmMotion != nullptr");
    BindText(CLOCK_SPEED, _speed, "speed_img != nullptr");
    RecContoller::Inst()->Init();
}

void CLiveview::BindText(int id, char* buffer, const char* expr)
{
    obj_common* obj = GetStateComponent(_wnd, id);
    if (obj == nullptr || obj->obj_type != obj_common::TEXT)
        VK_ASSERT_REPORT(expr);
    static_cast<obj_text*>(obj)->text_ptr = buffer;
}

obj_common* CLiveview::Child(int id)
{
    obj_common* obj = GetStateComponent(_wnd, id);
    if (obj == nullptr) {
        Log()->Print("[CLiveview]object %d missing\n", id);
        VK_ASSERT_REPORT("obj != nullptr");
    }
    return obj;
}

void CLiveview::Show(int id)
{
    Child(id)->SetShow();
}

void CLiveview::Hide(int id)
{
    Child(id)->SetHide();
}

void CLiveview::HideAndDisable(int id)
{
    obj_common* obj = Child(id);
    obj->SetHide();
    obj->SetDisable();
}

void CLiveview::Repaint()
{
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CLiveview::OnMessage(ipc_msg_t& msg)
{
    if (msg.wnd != _wnd && msg.wnd != WND::ANY) {
        Log()->Print("[CLiveview]A message from WND:%d. REGECTEDn", msg.wnd);
        return;
    }
    switch (msg.cmd) {
    case WM::INIT:
        OnInit(msg);
        break;
    case WM::PAINT:
        OnPaint(msg);
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::CLOSE:
        OnClose(msg);
        break;
    case WM::RESTART:
        OnRestart(msg);
        break;
    case WM::BUTTON:
        OnButton(msg);
        break;
    case WM::SHOW_VIOLENCE:
    case WM::HIDE_VIOLENCE:
    case WM::SHOW_LDWS_LEFT:
    case WM::HIDE_LDWS_LEFT:
    case WM::SHOW_LDWS_RIGHT:
    case WM::HIDE_LDWS_RIGHT:
        OnWarning(msg);
        break;
    case WM::GPS_STATE_CHANGED:
        break;
    case WM::SHOW_LIMIT_SPEED:
        OnShowLimitSpeed(msg);
        break;
    case WM::HIDE_LIMIT_SPEED:
        OnHideLimitSpeed(msg);
        break;
    case WM::HIDE_VIEW:
        Show(BLACK_OUT);
        Repaint();
        break;
    default:
        OnRecordMessage(msg);
        break;
    }
}

void CLiveview::OnInit(ipc_msg_t& msg)
{
    Singleton<LED>::Inst()->Clear(LED::MENU);
    Hide(BLACK_OUT);
    if (!printPref) {
        printPref = true;
        Log()->Print("%s\n", Prefs()->ToString().c_str());
    }
    if (msg.param1 == WND::MAINMENU)
        RunMode()->ResumeVideoOut();
    _toggle = false;
    _alarm.show = false;
    _record.Init();
    _state = IDLE;
    _sdcardWarningSound = true;
    _rearCamErrCnt = 0;
    _frontCamErrCnt = 0;
    _gsensorTimeMsec = 0;
    _enable_park_sound = true;
    HideMessageBox();
    CheckStorageAtOpening();
    HideClock();
    HideSpeedLimit();
    HideWarnings();
    UpdatePIPIcon();
    BmWorks::Inst()->SetVideoOutConfig(VideoOutConfig(Prefs()->GetView()));
    BmVideo::SetVisible(true);
    if (!Prefs()->GetBootMessage()) {
        SetClockTimer();
        SendMessage(_wnd, WM::TIMER, TIMER::UPDATE_VIEW, 0);
        ShowButtonsTimer();
        HideStartMessage();
        HideButtons();
    } else {
        SetTimer(TIMER::HIDE_START_MSG, SEC_3);
        SendMessage(_wnd, WM::TIMER, TIMER::UPDATE_VIEW, 0);
    }
    CMainDvr::RunFsadas();
    if (Prefs()->RebootNeeded()) {
        Prefs()->SetNightvision(Prefs()->GetTempNightvision());
        Prefs()->Save();
        ShowMessageBox(STR::RESTARTING, STR::EMPTY, 10);
        SetTimer(TIMER::REBOOT, SEC_3);
    }
    RunMode()->SetCpuClock(0);
    ConsumeTuningMarker();
}

void CLiveview::CheckStorageAtOpening()
{
    bool internal = Prefs()->IsInternalStorageUsed();
    Storage* storage = Singleton<Storage>::Inst();
    const char* worn = nullptr;
    if (internal && EmmcInfo().IsLifeTimeOver())
        worn = "[CLiveview]eMMC life max\n";
    else if (internal && !storage->IsWritable())
        worn = "[CLiveview]eMMC write error\n";
    if (worn != nullptr) {
        HideParkingAlarm();
        ShowChagneStorage();
        Singleton<LED>::Inst()->Set(LED::ERROR);
        Log()->Print("%s", worn);
        return;
    }
    if (!storage->DoesDeviceExist()) {
        HideParkingAlarm();
        ShowMessageBox(STR::NO_SD_CARD, STR::EMPTY, 10);
        Singleton<LED>::Inst()->Set(LED::ERROR);
        Singleton<Sound>::Inst()->Play(Sound::insert_sd);
        SetTimer(TIMER::SDCARD_REMOVED_WARNING, SEC_10);
    } else if (Singleton<CMain>::Inst()->IsParkingRecoveryMode()) {
        HideParkingAlarm();
        showParkingAlarm = false;
        _enable_park_sound = false;
        Singleton<CMain>::Inst()->ClearParkingRecovery();
        SetTimer(TIMER::START_PARKING_MODE, SEC_2);
        Log()->Print("[CLiveview]Recover Parking mode\n");
    } else if (internal && !storage->IsWritable()) {
        HideParkingAlarm();
        ShowChagneStorage();
        Singleton<LED>::Inst()->Set(LED::ERROR);
        Log()->Print("[CLiveview]eMMC can't be wriitten\n");
        return;
    } else {
        StartRecordTimer(3500);
        if (showParkingAlarm && RunMode()->IsNormalMode()) {
            showParkingAlarm = false;
            if (Prefs()->IsParkingAlarmUsed())
                ShowParkingAlarm();
            else
                HideParkingAlarm();
        }
        Singleton<LED>::Inst()->Clear(LED::ERROR);
    }
    HideChagneStorage();
}

void CLiveview::ConsumeTuningMarker()
{
    char cmd[32];
    if (Prefs()->IsInternalStorageUsed()) {
        if (access("/tmp/sd", F_OK) != 0)
            std::system("mkdir /tmp/sd");
        VK_FORMAT_COMMAND(cmd, "mount /dev/mmcblk1p1 /tmp/sd");
        std::system(cmd);
        usleep(10);
        if (access("/tmp/sd/_tuning", F_OK) == 0) {
            _tuning = true;
            std::remove("/tmp/sd/_tuning");
            usleep(10);
            std::system("sync");
            usleep(10);
            std::printf("Used ISP data of SD card.\r");
        }
        VK_FORMAT_COMMAND(cmd, "umount /tmp/sd");
        std::system(cmd);
    } else if (access("/mnt/extsd/_tuning", F_OK) == 0) {
        _tuning = true;
        std::remove("/mnt/extsd/_tuning");
        std::system("sync");
        std::printf("Used ISP data of SD card.\r");
    }
}

void CLiveview::KillWindowTimers()
{
    for (TIMER::ID tid : CLOSING_TIMERS)
        KillTimer(tid);
}

void CLiveview::OnClose(ipc_msg_t& msg)
{
    if (msg.param1 == _wnd) {
        Log()->Print("[CLiveview]Close from live to live, rejected\n");
        return;
    }
    Singleton<LED>::Inst()->Set(LED::MENU);
    MessageHandler::OnClose(msg);
    KillWindowTimers();
    StopRecords();
    RunMode()->PauseVideoOut();
    if (msg.param1 != WND::DUMMY)
        RunMode()->TurnOnLcd();
    CMainDvr::PauseFsadas();
    RunMode()->SetCpuClock(0);
}

void CLiveview::OnRestart(ipc_msg_t& msg)
{
    Log()->Print("[CLiveview]OnRestart from live to live\n");
    MessageHandler::OnClose(msg);
    KillWindowTimers();
    StopRecords();
    RunMode()->PauseVideoOut();
    RunMode()->TurnOnLcd();
    CMainDvr::PauseFsadas();
}

void CLiveview::ShowMessageBox(STR::ID msg1, STR::ID msg2, int seconds)
{
    HideChagneStorage();
    Show(MESSAGE_BOX);
    obj_text* first = static_cast<obj_text*>(Child(MSG_1));
    first->text_id = msg1;
    first->SetShow();
    obj_text* second = static_cast<obj_text*>(Child(MSG_2));
    second->text_id = msg2;
    if (msg2 != STR::EMPTY)
        second->SetShow();
    SetTimer(TIMER::HIDE_MESSAGE_BOX, seconds * 1000);
}

void CLiveview::HideMessageBox()
{
    Hide(MESSAGE_BOX);
    Hide(MSG_1);
    Hide(MSG_2);
}

void CLiveview::ShowChagneStorage()
{
    _showStorage = true;
    for (int id : STORAGE_PANEL)
        Show(id);
    Singleton<Sound>::Inst()->Play(Sound::change_storage);
    SetTimer(TIMER::CHANGE_STORAGE_SOUND, SEC_30);
}

void CLiveview::HideChagneStorage()
{
    _showStorage = false;
    for (int id : STORAGE_PANEL)
        Hide(id);
}

void CLiveview::ShowMirrorByPreference()
{
    obj_common* mirror = Child(BTN_MIRROR);
    if (Prefs()->GetMirrorRear() == RECORDING::MIRROR_REAR::ON)
        mirror->SetFocus();
    else
        mirror->SetNormal();
}

bool CLiveview::IsRearViewAvailable()
{
    return IsRearCam() == 1 && Prefs()->IsRearCameraOn();
}

void CLiveview::ShowButtonsTimer()
{
    _showButton = true;
    for (int id : TOUCH_BUTTONS) {
        Child(id)->SetNormal();
        Show(id);
    }
    int view = Prefs()->GetView();
    if (!IsRearViewAvailable()) {
        Hide(BTN_MIRROR);
    } else if (view == 1 || view == 2) {
        ShowMirrorByPreference();
        Show(BTN_MIRROR);
    }
    for (int id : BAR_OBJECTS) {
        Child(id)->SetNormal();
        Show(id);
    }
    SetTimer(TIMER::HIDE_TOGGLE, SEC_10);
}

void CLiveview::HideButtons()
{
    _showButton = false;
    for (int id = BTN_HOME; id <= BTN_BACKUP; ++id)
        HideAndDisable(id);
    for (int id : BAR_OBJECTS)
        HideAndDisable(id);
}

void CLiveview::SetClockTimer()
{
    switch (Prefs()->GetLCDDisplay()) {
    case SYSTEM::DISPLAY::SEC30:
        SetTimer(TIMER::CHANGE_VIEW, SEC_30);
        break;
    case SYSTEM::DISPLAY::SEC60:
        SetTimer(TIMER::CHANGE_VIEW, SEC_60);
        break;
    case SYSTEM::DISPLAY::SEC120:
        SetTimer(TIMER::CHANGE_VIEW, SEC_120);
        break;
    default:
        break;
    }
}

void CLiveview::UpdatePIPIcon()
{
    obj_button* view = static_cast<obj_button*>(Child(BTN_VIEW));
    int pref = Prefs()->GetView();
    if (!IsRearViewAvailable() || pref == 0) {
        view->image_normal = Resource::Inst()->GetSurface("live_ico_pip_f.png");
        Hide(BTN_MIRROR);
        return;
    }
    view->image_normal = Resource::Inst()->GetSurface(pref == 1 ? "live_ico_pip_r.png" : "live_ico_pip.png");
    ShowMirrorByPreference();
    if (view->IsShown())
        Show(BTN_MIRROR);
    else
        Hide(BTN_MIRROR);
}

void CLiveview::HideStartMessage()
{
    HideAndDisable(BOOT_MESSAGE_BOX);
    SetClockTimer();
    ShowButtonsTimer();
}

void CLiveview::ShowLcdCalibration(int step)
{
    Show(LCD_CAL_BG);
    Show(LCD_CAL_TARGETS[step - 1]);
}

void CLiveview::HideLcdCalibration()
{
    Hide(LCD_CAL_BG);
    for (int id : LCD_CAL_TARGETS)
        Hide(id);
}

void CLiveview::FillVoltage()
{
    if (_tuning)
        std::snprintf(_voltage, sizeof(_voltage), "ex-isp");
    else
        std::snprintf(_voltage, sizeof(_voltage), "%.1fV", Singleton<Micom>::Inst()->GetVoltage());
}

void CLiveview::ShowClock()
{
    _showClock = true;
    for (int id : CLOCK_PANEL)
        Show(id);
    FillVoltage();
}

void CLiveview::HideClock()
{
    _showClock = false;
    for (int id : CLOCK_PANEL)
        Hide(id);
    Hide(CLOCK_SPEED);
}

void CLiveview::ShowParkingAlarm()
{
    _alarm.show = true;
    Log()->Print("[CLiveview]ShowParkingAlarm\n");
    for (int id : ALARM_PANEL)
        Show(id);
    Child(ALARM_BUTTON)->SetFocus();
    Resource* rsc = Resource::Inst();
    std::snprintf(_alarm.event, sizeof(_alarm.event), "%s: %d", rsc->GetString(STR::PARKING_EVENT2),
                  Prefs()->EventCounterInParking());
    VK_ASSERT(strlen(_alarm.event) < sizeof(_alarm.event));
    std::snprintf(_alarm.motion, sizeof(_alarm.motion), "%s: %d", rsc->GetString(STR::PARKING_MOTION2),
                  Prefs()->MotionCounterInParking());
    VK_ASSERT(strlen(_alarm.motion) < sizeof(_alarm.motion));
    SetTimer(TIMER::HIDE_PARKING_ALARM, SEC_10);
    if (Prefs()->IsParkingAlarmUsed())
        Prefs()->ResetUseParkingAlarm();
}

void CLiveview::HideParkingAlarm()
{
    _alarm.show = false;
    Log()->Print("[CLiveview]HideParkingAlarm\n");
    for (int id : ALARM_PANEL)
        Hide(id);
}

void CLiveview::HideWarnings()
{
    for (int id : WARNINGS)
        Hide(id);
}

int CLiveview::IsRearCam()
{
    std::system("cat /sys/devices/tp2825b/status > /tmp/status");
    std::system("sync");
    FILE* file = std::fopen("/tmp/status", "r");
    if (file == nullptr) {
        Log()->Print("[IsRearCam]Error\n");
        return 0;
    }
    char status[2] = {};
    size_t n = std::fread(status, 1, sizeof(status), file);
    std::fclose(file);
    // An empty status (the decoder did not answer) counts as no camera.
    _rearCamStatus = n > 0 && status[0] != '8';
    return _rearCamStatus ? 1 : 0;
}

} // namespace vk
