#pragma once
// The live view: the camera picture with its overlay of touch buttons, clock
// panel, message boxes and warnings, and the owner of the recording state.
// While it is the current window it starts and stops the normal, event,
// manual and parking recordings; leaving it stops them all.

#include "bmworks/BmTypes.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/StrId.h"

#include <cstdint>
#include <ctime>

namespace vk {

class CLiveview : public MessageHandler {
public:
    enum CHILD {
        BTN_BG = -1,
        BTN_HOME = 1,
        BTN_MIC = 2,
        BTN_MANUAL = 3,
        BTN_VIEW = 4,
        BTN_MIRROR = 5,
        BTN_BACKUP = 6,
        BTN_MAX = 7,
        BTN_SDCARD = 8,
        BTN_USB = 9,
        UPPER_BAR = 10,
        TXT_CLOCK = 11,
        VOLTAGE_BAR = 12,
        TXT_VOLTAGE = 13,
        BTN_STORAGE = 14,
        LCD_CAL_BG = 30,
        LCD_CAL_UL = 31,
        LCD_CAL_UR = 32,
        LCD_CAL_DL = 33,
        LCD_CAL_DR = 34,
        LCD_CAL_C = 35,
        CLOCK_BG = 48,
        CLOCK_TIME_HOUR = 49,
        CLOCK_TIME_SEPERATOR = 50,
        CLOCK_TIME_MIN = 51,
        CLOCK_DATE = 52,
        CLOCK_VOICE = 53,
        CLOCK_GPS = 54,
        CLOCK_MIC = 55,
        CLOCK_WIFI = 56,
        CLOCK_EVENT = 57,
        CLOCK_MANUAL = 58,
        SPEED_LINIT = 59,
        CLOCK_VOLTAGE = 60,
        CLOCK_SPEAKER = 61,
        CLOCK_AMPM = 62,
        CLOCK_SPEED = 63,
        STOP_VIOLENCE = 70,
        LDWS_LEFT = 71,
        LDWS_RIGHT = 72,
        BOOT_MESSAGE_BOX = 80,
        MESSAGE_BOX = 90,
        MSG_1 = 91,
        MSG_2 = 92,
        ALARM_BG = 100,
        ALARM_TITLE = 101,
        ALARM_EVENT = 102,
        ALARM_MOTION = 103,
        ALARM_BUTTON = 104,
        ALARM_EXIT = 105,
        STORAGE_BG = 200,
        STORAGE_TEXT_1 = 201,
        STORAGE_TEXT_2 = 202,
        BLACK_OUT = 2718,
    };
    enum STATE { IDLE = 0, NORMAL = 1, PARKING = 2 };
    struct ALARM {
        bool show;
        char event[64];
        char motion[64];
    };
    struct RECORD {
        bool event;
        bool manual;
        bool motion;
        void Init() { event = manual = motion = false; }
    };

    explicit CLiveview(WND::ID wnd);
    ~CLiveview() override = default;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnClose(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    virtual void OnRestart(ipc_msg_t& msg);

    STATE State() const { return _state; }
    const RECORD& Record() const { return _record; }

private:
    // Window (CLiveview.cpp).
    void CheckStorageAtOpening();
    void ConsumeTuningMarker();
    void KillWindowTimers();
    void BindText(int id, char* buffer, const char* expr);
    obj_common* Child(int id);
    void Show(int id);
    void Hide(int id);
    void HideAndDisable(int id);
    void ShowMessageBox(STR::ID msg1, STR::ID msg2, int seconds);
    void HideMessageBox();
    void ShowChagneStorage();
    void HideChagneStorage();
    void ShowButtonsTimer();
    void HideButtons();
    void SetClockTimer();
    void UpdatePIPIcon();
    void ShowMirrorByPreference();
    void HideStartMessage();
    void ShowLcdCalibration(int step);
    void HideLcdCalibration();
    void ShowClock();
    void HideClock();
    void FillVoltage();
    void ShowParkingAlarm();
    void HideParkingAlarm();
    void HideSpeedLimit() {}
    void HideWarnings();
    void Repaint();
    int IsRearCam();
    bool IsRearViewAvailable();

    // Keys and touch (CLiveviewButton.cpp).
    void OnKeyOk(ipc_msg_t& msg);
    void OnKeyMenu(ipc_msg_t& msg);
    void ToggleMic();
    void ToggleView();
    void ToggleMirror();
    void OnTouch();
    void OnTouchPre(ipc_msg_t& msg);
    void StoreCalibrationReading(int x, int y);
    void FinishCalibration(int x, int y);

    // Recording control (CLiveviewRecord.cpp).
    void StartRecordTimer(int ms);
    void StopRecords();
    void CheckEventRunCount();
    void RunBoth(RecordType type);
    void PauseBoth(RecordType type);
    bool IsSpecialRecording() const { return _record.event || _record.manual || _record.motion; }
    void OnRecordMessage(ipc_msg_t& msg);
    void OnRecordRestart();
    void OnStartNormalMode();
    void OnStopNormalMode();
    void OnGSensorSignal();
    void OnStartEventRecord();
    void OnStopEventRecord();
    void OnStartManualRecord();
    void OnStopManualRecord();
    void OnStartParkingRecord();
    void OnStopParkingRecord();
    void OnStartParkingMode();
    void OnStopParkingMode(int param1);
    void OnSDCard(int param1);
    void OnConnectUSB();
    void OnDisconnectUSB();
    void OnStartTimer(int tid);

    // Timers and warnings (CLiveviewTimer.cpp).
    void OnTimer(ipc_msg_t& msg);
    void OnWarning(ipc_msg_t& msg);
    void OnShowLimitSpeed(ipc_msg_t& msg);
    void OnHideLimitSpeed(ipc_msg_t& msg);
    void UpdateView();
    void CheckWeeklySelfCheck(const std::tm& now);
    void SetSelfCheckReference(const std::tm& now);
    void ClearSelfCheckReference();
    void FollowRearView();
    void WatchCameras();
    void OnCameraStopped(const char* camera, int& errorCount);
    void OnSdcardRemovedWarning();
    void OnChangeView();
    void OnMotionRecordEnds();
    void OnContinuousTouch();
    void CloseForRecovery(TIMER::ID runModeTimer);

    bool _toggle = false;
    ALARM _alarm {};
    STATE _state = IDLE;
    RECORD _record {};
    char _clock[64] = {};
    bool _showClock = false;
    bool _showButton = false;
    bool _showStorage = false;
    bool _sentEventRunCount = false;
    char _date[32] = {};
    char _time_hour[32] = {};
    char _time_seperator[32] = {};
    char _time_min[32] = {};
    char _voltage[32] = {};
    char _speed[32] = {};
    bool _preventToOpenMenu = true;
    bool _sdcardWarningSound = true;
    int _rearCamErrCnt = 0;
    int _frontCamErrCnt = 0;
    int64_t _gsensorTimeMsec = 0;
    int _clock_sec_count = 0;
    bool _rearCamStatus = false;
    bool _tuning = false;
    bool showParkingAlarm = true;
    bool printPref = false;
    int _system_check_min = -1;
    int _system_check_day = 0;
    int _system_check_day_count = 0;
    bool _enable_park_sound = true;
    int _lcd_calibration_mode = 0;
    int _count_for_lcd_cal_mode = 0;
    int _touch_cal_start_x = 0;
    int _touch_cal_start_y = 0;
    int _touch_cal_end_x = 0;
    int _touch_cal_end_y = 0;

    static const int MS_100 = 100;
    static const int MS_500 = 500;
    static const int SEC_1 = 1000;
    static const int SEC_2 = 2000;
    static const int SEC_3 = 3000;
    static const int SEC_5 = 5000;
    static const int SEC_10 = 10000;
    static const int SEC_30 = 30000;
    static const int SEC_60 = 60000;
    static const int SEC_120 = 120000;
};

} // namespace vk
