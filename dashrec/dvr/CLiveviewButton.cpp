// The live view's keys and touches: the touch buttons, the menu key, the
// microphone, view and mirror toggles and the touch-panel calibration.

#include "dashrec/dvr/CLiveview.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CopyList.h"
#include "dashrec/dvr/LiveviewServices.h"

#include <cmath>

namespace vk {

using namespace liveview;

namespace {

void PlayButton()
{
    Singleton<Sound>::Inst()->Play(Sound::button);
}

// The calibration targets lie 50 pixels in from the edges: 380 and 220 apart.
const double TARGETS_APART_X = 380.0;
const double TARGETS_APART_Y = 220.0;
const double TARGET_INSET = 50.0;
const int NARROWEST_SPAN = 255;
const int PRE_TOUCHES_TO_CALIBRATE = 6;
const int LAST_CALIBRATION_STEP = 5;

} // namespace

void CLiveview::OnButton(ipc_msg_t& msg)
{
    if (_alarm.show) {
        HideParkingAlarm();
        PlayButton();
        Repaint();
        return;
    }
    OnButtonTouch(msg);
    switch (msg.param1) {
    case PARAM1::KEY_UP:
        ToggleMic();
        break;
    case PARAM1::KEY_DOWN:
        ToggleView();
        break;
    case PARAM1::KEY_OK:
        OnKeyOk(msg);
        break;
    case PARAM1::KEY_MENU:
    case PARAM1::LONG_KEY_UP:
        OnKeyMenu(msg);
        break;
    case PARAM1::LONG_KEY_DOWN:
        ToggleMirror();
        break;
    case PARAM1::TOUCH:
        OnTouch();
        break;
    case PARAM1::TOUCH_PRE:
        OnTouchPre(msg);
        break;
    default:
        break;
    }
    Repaint();
}

void CLiveview::ToggleMic()
{
    if (_record.event || _record.manual) {
        Log()->Print("[Liveview]KEY_UP - Event or Manual record running reject\n");
        return;
    }
    obj_common* mic = Child(BTN_MIC);
    if (Prefs()->IsMicOn()) {
        Prefs()->SetMicOff();
        RunMode()->SetMicOff();
        Singleton<Sound>::Inst()->Play(Sound::mic_off);
        mic->SetNormal();
    } else {
        Prefs()->SetMicOn();
        RunMode()->SetMicOn();
        Singleton<Sound>::Inst()->Play(Sound::mic_on);
        mic->SetFocus();
    }
    Prefs()->Save();
}

void CLiveview::ToggleView()
{
    if (!Prefs()->IsRearCameraOn()) {
        Log()->Print("[CLiveview]KEY_DOWN - rear cam off\n");
        return;
    }
    if (IsRearCam() != 1)
        return;
    int view = (Prefs()->GetView() + 1) % 3;
    Prefs()->SetView(SYSTEM::VIEW::VALUE(view));
    BmWorks::Inst()->SetVideoOutConfig(VideoOutConfig(view));
    UpdatePIPIcon();
    Prefs()->Save();
}

void CLiveview::ToggleMirror()
{
    Log()->Print("[CLiveview]LONG_KEY_DOWN - Mirror\n");
    // The engine always receives the inverse of the preference.
    bool mirrored = Prefs()->GetMirrorRear() == RECORDING::MIRROR_REAR::ON;
    Prefs()->SetMirrorRear(mirrored ? RECORDING::MIRROR_REAR::OFF : RECORDING::MIRROR_REAR::ON);
    BmWorks::Inst()->SetMirrorRear(mirrored);
    ShowMirrorByPreference();
}

void CLiveview::OnKeyOk(ipc_msg_t& msg)
{
    KillTimer(TIMER::CONTINUOUS_TOUCH);
    _count_for_lcd_cal_mode = 0;
    if (RunMode()->IsConnectedToUSB()) {
        Log()->Print("[Liveview]KEY_OK selected but connecting to PC.\n");
        ShowMessageBox(STR::CONNECTING_TO_PC, STR::EMPTY, 2);
        return;
    }
    Storage* storage = Singleton<Storage>::Inst();
    switch (msg.param2) {
    case BTN_HOME:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
        break;
    case BTN_MIC:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_UP, 0);
        break;
    case BTN_MANUAL:
        if (_state == NORMAL && !_record.event && !_record.manual) {
            Log()->Print("[CLiveview]KEY_OK - Manual record\n");
            SendMessage(WND::LIVEVIEW, WM::START_MANUAL_RECORD, 0, 0);
        }
        if (!storage->DoesDeviceExist())
            _sdcardWarningSound = false;
        break;
    case BTN_VIEW:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_DOWN, 0);
        break;
    case BTN_MIRROR:
        SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_DOWN, 0);
        break;
    case BTN_BACKUP:
        if (!storage->IsSdCardInserted())
            ShowMessageBox(STR::NO_STORAGE_FOR_BACKUP, STR::EMPTY, 3);
        else if (!Prefs()->IsInternalStorageUsed())
            ShowMessageBox(STR::RECORDING_ON_SD, STR::EMPTY, 3);
        else
            SendMessage(_wnd, WM::BUTTON, PARAM1::LONG_KEY_UP, PARAM2::NO_SOUND);
        break;
    default:
        break;
    }
}

void CLiveview::OnKeyMenu(ipc_msg_t& msg)
{
    Log()->Print("[Liveview]KEY_MENU - Main Menu\n");
    if (!RunMode()->IsLcdOn()) {
        Log()->Print("[Liveview]KEY_MENU - turn on LCD reject\n");
        RunMode()->TurnOnLcd();
        SetClockTimer();
        return;
    }
    if (_showClock) {
        Log()->Print("[Liveview]KEY_MENU - Hide Clock reject\n");
        HideClock();
        SetClockTimer();
        return;
    }
    if (_preventToOpenMenu) {
        Log()->Print("[Liveview]KEY_MENU - _preventToOpenMenu reject\n");
        return;
    }
    if (_record.manual) {
        Log()->Print("[Liveview]KEY_MENU - manual recording reject\n");
        SendMessage(WND::LIVEVIEW, WM::STOP_MANUAL_RECORD, 0, 0);
    }
    if (_record.event) {
        Log()->Print("[Liveview]KEY_MENU - event recording reject\n");
        SendMessage(WND::LIVEVIEW, WM::STOP_EVENT_RECORD, 0, 0);
    }
    if (_state == NORMAL)
        SendMessage(WND::LIVEVIEW, WM::STOP_NORMAL_MODE, 0, 0);
    else if (_state == PARKING)
        SendMessage(WND::LIVEVIEW, WM::STOP_PARKING_MODE, 0, 0);

    if (msg.param1 == PARAM1::LONG_KEY_UP) {
        FileLists* lists = Singleton<FileLists>::Inst();
        if (lists->NeedReload())
            lists->Open();
        if (Prefs()->IsInternalStorageUsed() && Singleton<Storage>::Inst()->IsSdCardInserted()) {
            Log()->Print("[CLiveview]LAST_5_MINUTES selected (SD)\n");
            Singleton<CopyList>::Inst()->SetListType(LISTTYPE::LAST_5_MINUTES_LIST);
            Singleton<CopyList>::Inst()->SetListMedia(LISTMEDIA::SDCARD);
            SetTimer(TIMER::BACKUP_IN_PREVIEW, SEC_2);
        } else {
            Log()->Print("[CLiveview]LAST_5_MINUTES No Storage\n");
            SendMessage(_wnd, WM::CLOSE, WND::COPY_RECENT, _wnd);
        }
    } else {
        bool locked = Prefs()->GetSecurity() && !Prefs()->GetForcedUnlock();
        SendMessage(_wnd, WM::CLOSE, locked ? WND::MENU_PW : WND::MAINMENU, _wnd);
    }
    Prefs()->SetTempValues();
}

void CLiveview::OnTouch()
{
    Log()->Print("[Liveview]TOUCH \n");
    if (_lcd_calibration_mode != 0)
        return;
    if (_showClock)
        HideClock();
    bool anyShown = false;
    for (int id = BTN_HOME; id <= BTN_BACKUP; ++id)
        anyShown = anyShown || Child(id)->IsShown();
    if (!anyShown)
        PlayButton();
    ShowButtonsTimer();
    SetClockTimer();
    RunMode()->TurnOnLcd();
    SetTimer(TIMER::TURN_OFF_LCD_PARKING_MODE, SEC_10);
}

void CLiveview::OnTouchPre(ipc_msg_t& msg)
{
    uintptr_t raw = reinterpret_cast<uintptr_t>(msg.ptr);
    int x = static_cast<int>((raw >> 16) & 0xFFFF);
    int y = static_cast<int>(raw & 0xFFFF);
    if (_lcd_calibration_mode == 0) {
        ++_count_for_lcd_cal_mode;
        if (_count_for_lcd_cal_mode == 1) {
            SetTimer(TIMER::CONTINUOUS_TOUCH, SEC_3);
        } else if (_count_for_lcd_cal_mode == PRE_TOUCHES_TO_CALIBRATE) {
            SetTimer(TIMER::CONTINUOUS_TOUCH, SEC_3);
            PlayButton();
            _count_for_lcd_cal_mode = 0;
            _lcd_calibration_mode = 1;
            ShowLcdCalibration(1);
        }
        return;
    }
    KillTimer(TIMER::CONTINUOUS_TOUCH);
    if (_lcd_calibration_mode == 1 && (x > 1000 || y > 1000))
        return;
    PlayButton();
    if (_showClock)
        HideClock();
    if (_showButton)
        HideButtons();
    _lcd_calibration_mode = _lcd_calibration_mode == LAST_CALIBRATION_STEP ? 0 : _lcd_calibration_mode + 1;
    StoreCalibrationReading(x, y);
    HideLcdCalibration();
    if (_lcd_calibration_mode != 0) {
        ShowLcdCalibration(_lcd_calibration_mode);
        SetTimer(TIMER::CONTINUOUS_TOUCH, SEC_3);
    }
}

// Stores the reading of the target just touched, by the step that follows it.
void CLiveview::StoreCalibrationReading(int x, int y)
{
    switch (_lcd_calibration_mode) {
    case 2:
        _touch_cal_start_x = x;
        _touch_cal_start_y = y;
        break;
    case 3:
        _touch_cal_end_x = x;
        _touch_cal_start_y = (_touch_cal_start_y + y) >> 1;
        break;
    case 4:
        _touch_cal_start_x = (_touch_cal_start_x + x) >> 1;
        _touch_cal_end_y = y;
        break;
    case 5:
        _touch_cal_end_x = (_touch_cal_end_x + x) >> 1;
        _touch_cal_end_y = (_touch_cal_end_y + y) >> 1;
        break;
    default:
        FinishCalibration(x, y);
        break;
    }
}

// The centre touched: the corners' readings widened to the whole screen.
void CLiveview::FinishCalibration(int x, int y)
{
    int spanX = _touch_cal_end_x - _touch_cal_start_x;
    int spanY = _touch_cal_end_y - _touch_cal_start_y;
    if (spanX <= NARROWEST_SPAN || spanY <= NARROWEST_SPAN) {
        Prefs()->DefaultSetLcdCalibration();
        Log()->Print("Touch Default setting\n");
        return;
    }
    double sx = spanX / TARGETS_APART_X;
    int mx = static_cast<int>(std::trunc(sx * TARGET_INSET));
    double sy = spanY / TARGETS_APART_Y;
    int my = static_cast<int>(std::trunc(sy * TARGET_INSET));
    Prefs()->SetLcdCalibrationData(_touch_cal_start_x - mx, _touch_cal_start_y - my, _touch_cal_end_x + mx,
                                   _touch_cal_end_y + my);
    Log()->Print("Center Touch > read adc (%d, %d), cal (%d, %d)\n", x, y,
                 static_cast<int>(std::trunc(sx * 240.0)) + _touch_cal_start_x - mx,
                 static_cast<int>(std::trunc(sy * 160.0)) + _touch_cal_start_y - my);
}

} // namespace vk
