// The live view's recording control: the IDLE / NORMAL / PARKING modes, the
// event, manual and motion recordings, and the engine's run and pause
// commands per camera and record type.

#include "dashrec/dvr/CLiveview.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/LED.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/RecContoller.h"
#include "dashrec/dvr/LiveviewServices.h"

namespace vk {

using namespace liveview;

namespace {

LED* Leds()
{
    return Singleton<LED>::Inst();
}

void Play(Sound::Clip clip)
{
    Singleton<Sound>::Inst()->Play(clip);
}

void Post(WM::ID cmd, int param1 = 0)
{
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, cmd, param1, 0, nullptr);
}

bool HasMedium()
{
    return Singleton<Storage>::Inst()->DoesDeviceExist();
}

const int EVENT_RECORD_MS = 20000;
const int MANUAL_RECORD_MS = 20000;
const int PARKING_RECORD_MS = 30000;
const int GSENSOR_HOLD_OFF_MS = 1000;
const int RECOVERY_EVENT_RUNS = 220;
const int CPU_RECORDING = 4;
const int CPU_IDLE = 0;
// After a recording error the engine has paused every recording: start
// again soon, but give the medium a moment.
const int RECORD_RESTART_MS = 1000;
const RecordType ALL_TYPES[] = { Normal, Event, Manual, Parking };
// Every LED of a recording or mode that StopRecords ends.
const uint32_t RECORDING_LEDS = LED::RECORDING | LED::EVENT_RECORDING | LED::MANUAL_RECORDING
                                | LED::PARKING_RECORDING | LED::PARKING_MODE;
// Timers that end a recording StopRecords has already ended.
const TIMER::ID RECORDING_END_TIMERS[] = { TIMER::EVENT_RECORD_END, TIMER::MANUAL_RECORD_END,
                                           TIMER::STOP_PARKING_RECORD, TIMER::MOTION_RECORD_END };

} // namespace

void CLiveview::OnRecordMessage(ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::SD_CARD:
        OnSDCard(msg.param1);
        break;
    case WM::RECORD_RESTART:
        OnRecordRestart();
        break;
    case WM::GSENSOR_SIGNAL:
        OnGSensorSignal();
        break;
    case WM::START_NORMAL_MODE:
        OnStartNormalMode();
        break;
    case WM::STOP_NORMAL_MODE:
        OnStopNormalMode();
        break;
    case WM::START_PARKING_MODE:
        OnStartParkingMode();
        break;
    case WM::STOP_PARKING_MODE:
        OnStopParkingMode(msg.param1);
        break;
    case WM::START_MANUAL_RECORD:
        OnStartManualRecord();
        break;
    case WM::STOP_MANUAL_RECORD:
        OnStopManualRecord();
        break;
    case WM::START_EVENT_RECORD:
        OnStartEventRecord();
        break;
    case WM::STOP_EVENT_RECORD:
        OnStopEventRecord();
        break;
    case WM::START_PARKING_RECORD:
        OnStartParkingRecord();
        break;
    case WM::STOP_PARKING_RECORD:
        OnStopParkingRecord();
        break;
    case WM::CONNECT_USB:
        OnConnectUSB();
        break;
    case WM::DISCONNECT_USB:
        OnDisconnectUSB();
        break;
    default:
        Log()->Print("[CLiveview]MSG:%d not handled\n", msg.cmd);
        return;
    }
    Repaint();
}

void CLiveview::RunBoth(RecordType type)
{
    BmWorks::Inst()->RunRecord(Front, type);
    if (Prefs()->IsRearCameraOn())
        BmWorks::Inst()->RunRecord(Rear, type);
}

void CLiveview::PauseBoth(RecordType type)
{
    BmWorks::Inst()->PauseRecord(Front, type);
    if (Prefs()->IsRearCameraOn())
        BmWorks::Inst()->PauseRecord(Rear, type);
}

void CLiveview::StartRecordTimer(int ms)
{
    switch (RunMode()->GetCurrentMode()) {
    case CStatusMainDvr::NORMAL:
        SetTimer(TIMER::START_NORMAL_MODE, ms);
        break;
    case CStatusMainDvr::PARKING:
        if (Prefs()->IsParkingModeOn())
            SetTimer(TIMER::START_PARKING_MODE, MS_100);
        else
            Log()->Print("[Liveview]Received Pakring mode start, but parking mode isn't used\n");
        break;
    default:
        break;
    }
}

// Leaves every recording and mode. The LEDs, the parking flag of the file
// names, the CPU level and the end timers follow, so that nothing claims a
// recording the engine no longer runs.
void CLiveview::StopRecords()
{
    bool parking = _state == PARKING;
    _record.Init();
    _state = IDLE;
    if (parking || RunMode()->IsParkingMode())
        BmWorks::Inst()->PauseMotionDetect();
    for (RecordType type : ALL_TYPES)
        BmWorks::Inst()->PauseRecord(Front, type);
    if (Prefs()->IsRearCameraOn())
        for (RecordType type : ALL_TYPES)
            BmWorks::Inst()->PauseRecord(Rear, type);
    for (TIMER::ID tid : RECORDING_END_TIMERS)
        KillTimer(tid);
    Leds()->Clear(RECORDING_LEDS);
    if (parking)
        RecContoller::Inst()->ParkingModeExited();
    RunMode()->SetCpuClock(CPU_IDLE);
}

void CLiveview::OnRecordRestart()
{
    Log()->Print("[Liveview]Record restart\n");
    StopRecords();
    StartRecordTimer(RECORD_RESTART_MS);
}

void CLiveview::OnStartTimer(int tid)
{
    bool ready = Prefs()->HadTurnedOn() && !RunMode()->IsConnectedToUSB();
    switch (tid) {
    case TIMER::START_NORMAL_MODE:
        if (ready)
            Post(WM::START_NORMAL_MODE);
        else
            StartRecordTimer(SEC_5);
        break;
    case TIMER::START_PARKING_MODE:
        if (ready) {
            SetTimer(TIMER::START_PARKING_MODE2, SEC_2);
            ShowMessageBox(STR::ENTER_PARKING_MODE, STR::EMPTY, 10);
        } else {
            StartRecordTimer(SEC_5);
        }
        break;
    default: // START_PARKING_MODE2, WAITING_FOR_EVENT_MANUAL_END
        Post(WM::START_PARKING_MODE);
        break;
    }
}

void CLiveview::OnStartNormalMode()
{
    if (_state == NORMAL) {
        Log()->Print("[Liveview]Already starts normal recording\n");
        return;
    }
    if (_state == PARKING) {
        Log()->Print("[Liveview]Normal recording timer, but Parking mode\n");
        return;
    }
    if (!HasMedium()) {
        Log()->Print("[Liveview]OnStartNormalMode() - NO STORAGE\n");
        return;
    }
    _state = NORMAL;
    RunBoth(Normal);
    _rearCamErrCnt = 0;
    _frontCamErrCnt = 0;
    _preventToOpenMenu = true;
    // The first start after power-on is silent.
    if (!Prefs()->GetBootAnnounce())
        Prefs()->SetBootAnnounce(true);
    else
        Play(Sound::recording_begins);
    SetTimer(TIMER::PREVENT_TO_OPEN_MENU, SEC_2);
    Leds()->Set(LED::RECORDING);
}

void CLiveview::OnStopNormalMode()
{
    if (_state == PARKING) {
        Log()->Print("[Liveview]Invalid MSG:OnStopNormalMode()\n");
        return;
    }
    if (_state == IDLE) {
        Log()->Print("[Liveview]Start normal mode first\n");
        return;
    }
    _state = IDLE;
    Play(Sound::recording_ends);
    Log()->Print("[Liveview]====== Normal Mode OFF ======\n");
    PauseBoth(Normal);
    Leds()->Clear(LED::RECORDING);
}

void CLiveview::OnGSensorSignal()
{
    int64_t now = static_cast<int64_t>(BmClock::Inst()->Msec());
    int64_t since = now - _gsensorTimeMsec;
    if (since <= GSENSOR_HOLD_OFF_MS) {
        const char* rule = "=============================================================\n";
        Log()->Print("%s", rule);
        Log()->Print("     [Liveview]OnGSensorSignal().. signaled in (%lld) msec\n", static_cast<long long>(since));
        Log()->Print("%s", rule);
        return;
    }
    _gsensorTimeMsec = now;
    Post(WM::START_EVENT_RECORD);
}

void CLiveview::OnStartEventRecord()
{
    if (_state == IDLE) {
        Log()->Print("[Liveview]Recording does not start\n");
        Log()->Print("[Liveview]Event record can't start\n");
        return;
    }
    if (_record.event) {
        Log()->Print("[Liveview]Event record is in progress\n");
        return;
    }
    if (_record.manual || _record.motion) {
        Log()->Print(_record.manual ? "[Liveview]Manual record stops for an event\n"
                                    : "[Liveview]Parking record stops for an event\n");
        Post(_record.manual ? WM::STOP_MANUAL_RECORD : WM::STOP_PARKING_RECORD);
        Post(WM::START_EVENT_RECORD);
        return;
    }
    CMainDvr::PauseFsadas();
    _record.event = true;
    RunBoth(Event);
    if (_state == PARKING)
        CheckEventRunCount();
    RunMode()->SetCpuClock(CPU_RECORDING);
    Leds()->Set(LED::EVENT_RECORDING);
    SetTimer(TIMER::EVENT_RECORD_END, EVENT_RECORD_MS);
    Play(Sound::eventrec);
    ShowMessageBox(STR::SHAKE_DETECTION, STR::EMPTY, 3);
    if (RecContoller::DoesLiveviewEnterParkingMode())
        Prefs()->IncreaseEventRecording();
    Log()->Print("[Liveview]Event record starts\n");
}

void CLiveview::OnStopEventRecord()
{
    // A second stop queued for one recording (a key and the end timer) is ignored.
    if (!_record.event)
        return;
    _record.event = false;
    if (!_record.manual)
        CMainDvr::RunFsadas();
    Leds()->Clear(LED::EVENT_RECORDING);
    Log()->Print("[Liveview]Event record stops\n");
    RunMode()->SetCpuClock(CPU_IDLE);
}

void CLiveview::OnStartManualRecord()
{
    // Also a manual request that arrives as the mode turns to parking.
    if (_state != NORMAL) {
        Log()->Print("[Liveview]Normal mode does not start\n");
        Log()->Print("[Liveview]Manual record can not start\n");
        return;
    }
    if (IsSpecialRecording()) {
        Log()->Print("[Liveview]Manual record can not start\n");
        return;
    }
    RunMode()->SetCpuClock(CPU_RECORDING);
    _record.manual = true;
    CMainDvr::PauseFsadas();
    Leds()->Set(LED::MANUAL_RECORDING);
    RunBoth(Manual);
    SetTimer(TIMER::MANUAL_RECORD_END, MANUAL_RECORD_MS);
    Play(Sound::manual_recording_begins);
    Log()->Print("[Liveview]Manual record starts\n");
}

void CLiveview::OnStopManualRecord()
{
    if (!_record.manual)
        return;
    _record.manual = false;
    if (!_record.event) {
        CMainDvr::RunFsadas();
        RunMode()->SetCpuClock(CPU_IDLE);
    }
    Leds()->Clear(LED::MANUAL_RECORDING);
    PauseBoth(Manual);
    Log()->Print("[Liveview]Manual record stops\n");
}

void CLiveview::OnStartParkingRecord()
{
    if (_record.event || _record.motion) {
        Log()->Print(_record.event ? "[Liveview]Event record is in progress\n" : "[Liveview]Parking recording....\n");
        Log()->Print("[Liveview]Parking record can not start\n");
        return;
    }
    BmWorks::Inst()->PauseMotionDetect();
    RunMode()->SetCpuClock(CPU_RECORDING);
    RunBoth(Parking);
    _record.motion = true;
    Leds()->Set(LED::PARKING_RECORDING);
    SetTimer(TIMER::STOP_PARKING_RECORD, PARKING_RECORD_MS);
    CheckEventRunCount();
}

void CLiveview::OnStopParkingRecord()
{
    if (!_record.motion) {
        Log()->Print("[Liveview]OnStopParkingRecord Error.\n");
        return;
    }
    KillTimer(TIMER::STOP_PARKING_RECORD);
    KillTimer(TIMER::MOTION_RECORD_END);
    _record.motion = false;
    Leds()->Clear(LED::PARKING_RECORDING);
    if (!_record.event)
        RunMode()->SetCpuClock(CPU_IDLE);
    PauseBoth(Parking);
    if (_state == PARKING)
        BmWorks::Inst()->RunMotionDetect();
    Log()->Print("[Liveview]Parking record stops\n");
}

void CLiveview::OnStartParkingMode()
{
    if (_state == NORMAL) {
        if (_record.event || _record.manual) {
            SetTimer(TIMER::WAITING_FOR_EVENT_MANUAL_END, SEC_2);
            return;
        }
        Log()->Print("[Liveview]Stopping normal mode\n");
        Post(WM::STOP_NORMAL_MODE);
        SetTimer(TIMER::START_PARKING_MODE, MS_100);
        return;
    }
    if (_state == PARKING) {
        Log()->Print("[Liveview]Already starts parking recording\n");
        return;
    }
    if (!HasMedium())
        return;
    HideClock();
    _state = PARKING;
    // A parking-recovery start is silent once.
    if (_enable_park_sound)
        Play(Sound::parking_mode);
    else
        _enable_park_sound = true;
    const char* rule = "++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n";
    Log()->Print("%s            START PARKING MODE\n%s", rule, rule);
    if (!Prefs()->needMotionSensitivity()) {
        BmWorks::Inst()->SetModSensivity(Prefs()->GetMotionSensitivityValue());
        Prefs()->alreadySetMotionSensitivity();
        Log()->Print("SetModSensivity.\n");
    }
    BmWorks::Inst()->RunMotionDetect();
    _preventToOpenMenu = true;
    if (RunMode()->IsLcdOn())
        RunMode()->TurnOffLcd();
    SetTimer(TIMER::PREVENT_TO_OPEN_MENU, SEC_2);
    Leds()->Set(LED::PARKING_MODE);
    RecContoller::Inst()->ParkingModeEntered();
}

void CLiveview::OnStopParkingMode(int param1)
{
    if (_state == NORMAL) {
        Log()->Print("[Liveview]Invalid msg:OnStopParkingMode()\n");
        return;
    }
    if (_state == IDLE) {
        Log()->Print("[Liveview]Stop parking mode first\n");
        return;
    }
    if (_record.event) {
        Log()->Print("[Liveview]OnStopParkingMode - event recording reject\n");
        Post(WM::STOP_EVENT_RECORD);
    }
    if (_record.motion) {
        Log()->Print("[Liveview]OnStopParkingMode - parking recording reject\n");
        Post(WM::STOP_PARKING_RECORD);
    } else {
        BmWorks::Inst()->PauseMotionDetect();
    }
    _state = IDLE;
    Log()->Print("[Liveview]====== Parking Mode OFF ======\n");
    RecContoller::Inst()->ParkingModeExited();
    Leds()->Clear(LED::PARKING_RECORDING);
    Leds()->Clear(LED::PARKING_MODE);
    StartRecordTimer(SEC_3);
    if (param1 != 0) {
        showParkingAlarm = false;
        ShowParkingAlarm();
    }
    RunMode()->TurnOnLcd();
}

void CLiveview::CheckEventRunCount()
{
    if (_state != PARKING)
        return;
    int count = BmWorks::Inst()->GetEventRunCount();
    Log()->Print("[CLiveview]CheckEventRunCount - %d\n", count);
    if (count > RECOVERY_EVENT_RUNS && !_sentEventRunCount) {
        _sentEventRunCount = true;
        Log()->Print("[CLiveview]Set timer for recovery\n");
        SetTimer(TIMER::PARKING_RECOVERY, SEC_30 - SEC_1);
    }
}

void CLiveview::OnSDCard(int param1)
{
    if (param1 != 0) {
        Log()->Print("[CLiveview]SD Card Inserted\n");
        _sdcardWarningSound = true;
        KillTimer(TIMER::SDCARD_REMOVED_WARNING);
        HideMessageBox();
        StartRecordTimer(MS_100);
        Leds()->Clear(LED::ERROR);
        return;
    }
    Log()->Print("[CLiveview]SD Card Removed\n");
    StopRecords();
    ShowMessageBox(STR::NO_SD_CARD, STR::EMPTY, 10);
    SetTimer(TIMER::SDCARD_REMOVED_WARNING, SEC_10);
    Leds()->Set(LED::ERROR);
}

void CLiveview::OnConnectUSB()
{
    Post(WM::STOP_NORMAL_MODE);
}

void CLiveview::OnDisconnectUSB()
{
    if (Prefs()->GetPowerStatus())
        StartRecordTimer(2000);
}

} // namespace vk
