// The live view's timers, the overlay update and the warnings.

#include "dashrec/dvr/CLiveview.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/LED.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "dashrec/dvr/LiveviewServices.h"

#include <cstdio>

namespace vk {

using namespace liveview;

namespace {

const char* const WEEKDAYS[] = { "일요일", "월요일", "화요일", "수요일", "목요일", "금요일", "토요일" };

struct Warning {
    WM::ID show;
    WM::ID hide;
    int object;
    TIMER::ID timer;
    Sound::Clip clip;
    const char* showLog;
    const char* hideLog;
};

const Warning WARNING_TABLE[] = {
    { WM::SHOW_VIOLENCE, WM::HIDE_VIOLENCE, CLiveview::STOP_VIOLENCE, TIMER::HIDE_VIOLENCE, Sound::system_error_fcws,
      "[CLiveview]OnShowViolence()\n", "[CLiveview]OnHideViolence()\n" },
    { WM::SHOW_LDWS_LEFT, WM::HIDE_LDWS_LEFT, CLiveview::LDWS_LEFT, TIMER::HIDE_LDWS_LEFT, Sound::system_error,
      "[CLiveview]OnShowLdwsLeft()\n", "[CLiveview]OnHideLdwsLeft()\n" },
    { WM::SHOW_LDWS_RIGHT, WM::HIDE_LDWS_RIGHT, CLiveview::LDWS_RIGHT, TIMER::HIDE_LDWS_RIGHT, Sound::system_error,
      "[CLiveview]OnShowLdwsRight()\n", "[CLiveview]OnHideLdwsRight()\n" },
};

const int WARNING_SHOWN_MS = 5000;
const int UPDATE_VIEW_MS = 500;

} // namespace

void CLiveview::OnTimer(ipc_msg_t& msg)
{
    int tid = msg.param1;
    switch (tid) {
    case TIMER::UPDATE_VIEW:
        UpdateView();
        return;
    case TIMER::SDCARD_REMOVED_WARNING:
        OnSdcardRemovedWarning();
        break;
    case TIMER::START_NORMAL_MODE:
    case TIMER::START_PARKING_MODE:
    case TIMER::START_PARKING_MODE2:
    case TIMER::WAITING_FOR_EVENT_MANUAL_END:
        OnStartTimer(tid);
        break;
    case TIMER::EVENT_RECORD_END:
        if (_record.event)
            SendMessage(WND::LIVEVIEW, WM::STOP_EVENT_RECORD, 0, 0);
        break;
    case TIMER::MANUAL_RECORD_END:
        if (_record.manual)
            SendMessage(WND::LIVEVIEW, WM::STOP_MANUAL_RECORD, 0, 0);
        break;
    case TIMER::PREVENT_TO_OPEN_MENU:
        _preventToOpenMenu = false;
        break;
    case TIMER::CHANGE_VIEW:
        OnChangeView();
        break;
    case TIMER::HIDE_PARKING_ALARM:
        HideParkingAlarm();
        break;
    case TIMER::HIDE_LIMIT_SPEED:
        HideSpeedLimit();
        break;
    case TIMER::CHANGE_STORAGE_SOUND:
        if (!RunMode()->IsParkingMode() && _showStorage) {
            SetTimer(TIMER::CHANGE_STORAGE_SOUND, SEC_30);
            Singleton<Sound>::Inst()->Play(Sound::change_storage);
        }
        break;
    case TIMER::HIDE_MESSAGE_BOX:
        HideMessageBox();
        break;
    case TIMER::PARKING_RECOVERY:
        CloseForRecovery(TIMER::PARKING_RECOVERY);
        break;
    case TIMER::RESTART_PARKING_MODE:
        CloseForRecovery(TIMER::RESTART_PARKING_MODE);
        break;
    case TIMER::HIDE_START_MSG:
        HideStartMessage();
        break;
    case TIMER::HIDE_TOGGLE:
        HideButtons();
        break;
    case TIMER::REBOOT:
        Log()->Print("[CLiveview]Pref changed reboot.\n");
        SendMessage(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
        break;
    case TIMER::HIDE_VIOLENCE:
        SendMessage(WND::LIVEVIEW, WM::HIDE_VIOLENCE, 0, 0);
        break;
    case TIMER::HIDE_LDWS_LEFT:
        SendMessage(WND::LIVEVIEW, WM::HIDE_LDWS_LEFT, 0, 0);
        break;
    case TIMER::HIDE_LDWS_RIGHT:
        SendMessage(WND::LIVEVIEW, WM::HIDE_LDWS_RIGHT, 0, 0);
        break;
    case TIMER::STOP_PARKING_RECORD:
        OnMotionRecordEnds();
        break;
    case TIMER::TURN_OFF_LCD_PARKING_MODE:
        if (RunMode()->IsParkingMode()) {
            Log()->Print("[CLiveview]Parking mode, Turn off LCD, 10 sec\n");
            RunMode()->TurnOffLcd();
        }
        break;
    case TIMER::MOTION_RECORD_END:
        break;
    case TIMER::DELAY_ACC_ON:
        if (!_record.event)
            SendMessage(WND::LIVEVIEW, WM::STOP_PARKING_MODE, 1, 0);
        else
            SetTimer(TIMER::DELAY_ACC_ON, SEC_1);
        break;
    case TIMER::BACKUP_IN_PREVIEW:
        SendMessage(_wnd, WM::CLOSE, Singleton<SdCard>::Inst()->IsFat() ? WND::COPY_PROCEDURE : WND::SD_FORMAT_DIALOG, _wnd);
        break;
    case TIMER::CONTINUOUS_TOUCH:
        OnContinuousTouch();
        break;
    default:
        Log()->Print("[CLiveview]tid[%d] is not handled\n", tid);
        return;
    }
    Repaint();
}

void CLiveview::OnSdcardRemovedWarning()
{
    if (!_sdcardWarningSound || Singleton<Storage>::Inst()->DoesDeviceExist())
        return;
    Singleton<Sound>::Inst()->Play(Sound::insert_sd);
    ShowMessageBox(STR::NO_SD_CARD, STR::EMPTY, 10);
    SetTimer(TIMER::SDCARD_REMOVED_WARNING, SEC_10);
    Singleton<LED>::Inst()->Set(LED::ERROR);
}

void CLiveview::OnChangeView()
{
    if (!RunMode()->IsParkingMode()) {
        RunMode()->TurnOnLcd();
        Log()->Print("[CLiveview]Show clock\n");
        ShowClock();
        return;
    }
    Log()->Print("[CLiveview]Parking mode, Turn off LCD\n");
    HideClock();
    if (RunMode()->IsLcdOn())
        RunMode()->TurnOffLcd();
}

// The 30 s of a motion recording are over; the engine's parking file ends by its own length.
void CLiveview::OnMotionRecordEnds()
{
    _record.motion = false;
    Singleton<LED>::Inst()->Clear(LED::PARKING_RECORDING);
    if (RunMode()->IsParkingMode() && !_record.event)
        RunMode()->SetCpuClock(0);
    Log()->Print("[CLiveview]Motion rec ends\n");
    if (RunMode()->IsParkingMode())
        BmWorks::Inst()->RunMotionDetect();
}

void CLiveview::OnContinuousTouch()
{
    // Either the calibration was abandoned or the pre-touches ran out of time.
    _count_for_lcd_cal_mode = 0;
    _lcd_calibration_mode = 0;
    HideLcdCalibration();
}

void CLiveview::CloseForRecovery(TIMER::ID runModeTimer)
{
    SendMessage(_wnd, WM::CLOSE, WND::DUMMY, 1);
    Singleton<UITimer>::Inst()->Set(WND::CMAIN_DVR, runModeTimer, SEC_2);
}

void CLiveview::OnWarning(ipc_msg_t& msg)
{
    for (const Warning& w : WARNING_TABLE) {
        if (msg.cmd == w.show) {
            Log()->Print("%s", w.showLog);
            Show(w.object);
            Singleton<Sound>::Inst()->Play(w.clip);
            SetTimer(w.timer, WARNING_SHOWN_MS);
        } else if (msg.cmd == w.hide) {
            Log()->Print("%s", w.hideLog);
            Hide(w.object);
        }
    }
    Repaint();
}

void CLiveview::OnShowLimitSpeed(ipc_msg_t&)
{
    // The live view shows no speed-limit sign.
    Log()->Print("[CLiveview]OnShowLimitSpeed()\n");
}

void CLiveview::OnHideLimitSpeed(ipc_msg_t& msg)
{
    Log()->Print("[CLiveview]OnHideLimitSpeed(), delay:%d\n", msg.param1);
    if (msg.param1 == 0)
        HideSpeedLimit();
    else
        SetTimer(TIMER::HIDE_LIMIT_SPEED, msg.param1 * 1000);
}

// The clock texts, the state icons and the voltage every half second, with
// the weekly self-check reboot, the rear-view follow-up and the camera watchdog.
void CLiveview::UpdateView()
{
    std::tm now = Singleton<SDDebug>::Inst()->GetLocaltime();
    std::snprintf(_clock, sizeof(_clock), "%d-%02d-%02d %02d:%02d", now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour,
                  now.tm_min);
    bool micOn = Prefs()->IsMicOn();
    obj_common* mic = Child(BTN_MIC);
    micOn ? mic->SetFocus() : mic->SetNormal();
    obj_common* storage = Child(BTN_STORAGE);
    Prefs()->IsInternalStorageUsed() ? storage->SetNormal() : storage->SetFocus();

    std::snprintf(_date, sizeof(_date), "%d.%02d.%02d %s", now.tm_year, now.tm_mon, now.tm_mday,
                  WEEKDAYS[now.tm_wday % 7]);
    bool pm = now.tm_hour >= 12;
    int hour = now.tm_hour % 12 == 0 ? 12 : now.tm_hour % 12;
    std::snprintf(_time_hour, sizeof(_time_hour), "%02d", hour);
    std::snprintf(_time_min, sizeof(_time_min), "%02d", now.tm_min);
    std::snprintf(_time_seperator, sizeof(_time_seperator), "%s", _clock_sec_count % 4 >= 2 ? ":" : " ");
    ++_clock_sec_count;
    obj_common* ampm = Child(CLOCK_AMPM);
    pm ? ampm->SetFocus() : ampm->SetNormal();
    if (Prefs()->IsSelfCheckingOn())
        CheckWeeklySelfCheck(now);

    obj_common* clockMic = Child(CLOCK_MIC);
    micOn ? clockMic->SetFocus() : clockMic->SetNormal();
    obj_common* gps = Child(CLOCK_GPS);
    if (gps->IsShown() && RunMode()->IsGpsLocked()) {
        gps->SetFocus();
        gps_lock_data_t data;
        Singleton<GPS>::Inst()->CopyData(data);
        std::snprintf(_speed, sizeof(_speed), "%d", static_cast<int>(data.speed));
        Show(CLOCK_SPEED);
    } else {
        gps->SetNormal();
        Hide(CLOCK_SPEED);
    }
    FillVoltage();
    obj_button* speaker = static_cast<obj_button*>(Child(CLOCK_SPEAKER));
    int volume = Prefs()->GetVolume();
    if (volume == 0) {
        speaker->SetNormal();
    } else {
        const char* image = volume == 1   ? "liveview_speaker_low.png"
                            : volume == 2 ? "liveview_speaker_middle.png"
                                          : "liveview_speaker_high.png";
        speaker->image_focus = Resource::Inst()->GetSurface(image);
        speaker->SetFocus();
    }
    if (_showClock)
        Show(CLOCK_VOLTAGE);
    Repaint();
    SetTimer(TIMER::UPDATE_VIEW, UPDATE_VIEW_MS);
    FollowRearView();
    WatchCameras();
}

// A parked device reboots once in the early hours of Monday, at least two
// minutes after parking began; the day count carries the reference minute
// across midnight.
void CLiveview::CheckWeeklySelfCheck(const std::tm& now)
{
    bool window = now.tm_wday == 1 && now.tm_hour >= 0 && now.tm_hour < 6;
    if (_system_check_min >= 0 && now.tm_mday != _system_check_day) {
        _system_check_day = now.tm_mday;
        ++_system_check_day_count;
    }
    bool parked = RunMode()->IsParkingMode();
    if (!window) {
        if (parked && _system_check_min < 0)
            SetSelfCheckReference(now);
        else if (!parked && _system_check_min >= 0)
            ClearSelfCheckReference();
        if (Prefs()->GetSelfChkState() == SYSTEM::SELF_CHK_STATE::OFF)
            Prefs()->SetSelfChkState(SYSTEM::SELF_CHK_STATE::ON);
        return;
    }
    if (Prefs()->GetSelfChkState() != SYSTEM::SELF_CHK_STATE::ON)
        return;
    if (!parked) {
        ClearSelfCheckReference();
        return;
    }
    if (_system_check_min < 0)
        SetSelfCheckReference(now);
    int elapsed = 1440 * _system_check_day_count + 60 * now.tm_hour + now.tm_min;
    if (elapsed >= _system_check_min && !_record.event && !_record.motion) {
        Log()->Print("[Liveview]Reboot.. system self-checking.\n");
        Prefs()->SetSelfChkState(SYSTEM::SELF_CHK_STATE::OFF);
        SendMessage(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
    }
}

void CLiveview::SetSelfCheckReference(const std::tm& now)
{
    _system_check_min = 60 * now.tm_hour + now.tm_min + 2;
    _system_check_day = now.tm_mday;
    _system_check_day_count = 0;
}

void CLiveview::ClearSelfCheckReference()
{
    _system_check_min = -1;
    _system_check_day = 0;
    _system_check_day_count = 0;
}

// The rear camera can be plugged or unplugged while the view runs.
void CLiveview::FollowRearView()
{
    BmWorks* engine = BmWorks::Inst();
    VideoOutConfig wanted = IsRearCam() == 1 ? VideoOutConfig(Prefs()->GetView()) : VocFront;
    if (engine->GetVideoOutConfig() != wanted)
        engine->SetVideoOutConfig(wanted);
}

// A camera that stops delivering frames cannot be restarted in place: the
// device reboots, or shuts down when parked. The counts are not reset by a
// good check, so the third failure since the recording started acts.
void CLiveview::WatchCameras()
{
    BmWorks* engine = BmWorks::Inst();
    bool rearOn = RunMode()->IsRearCameraOn();
    if (engine->CheckCameraRunning(Front) == 0)
        ++_frontCamErrCnt;
    if (rearOn && engine->CheckCameraRunning(Rear) == 0)
        ++_rearCamErrCnt;
    if (_frontCamErrCnt > 2 && _frontCamErrCnt % 2 == 1)
        OnCameraStopped("front", _frontCamErrCnt);
    else if (rearOn && _rearCamErrCnt >= 3 && _rearCamErrCnt % 2 == 1)
        OnCameraStopped("rear", _rearCamErrCnt);
}

void CLiveview::OnCameraStopped(const char* camera, int& errorCount)
{
    Log()->Print("========================[Liveview]%s camera stopped.=======================\n", camera);
    ++errorCount;
    if (RunMode()->IsParkingMode()) {
        SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, 0, 0);
        return;
    }
    Prefs()->SetBootStatus(SYSTEM::BOOT_MODE::NOTING);
    SendMessage(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
}

} // namespace vk
