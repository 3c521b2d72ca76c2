#include "dashrec/dvr/CMainDvr.h"

#include "bmworks/bmworks.h"
#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/CLogger.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/ProcessEnd.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/devices/TouchSensor.h"
#include "dashrec/dvr/EngineCallbacks.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/dvr/MobileApp.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <unistd.h>

namespace vk {

const std::string CMainDvr::PATH_HOSTAPD_CONF = std::string("/tmp/") + "apd.cfg";

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

// Windows in front of which the menus never time out back to the live view.
const WND::ID NO_MENU_TIME_OUT[] = {
    WND::LIVEVIEW, WND::APMODE, WND::COPY_PLAYER, WND::COPY_PROCEDURE, WND::SD_FORMAT_PROCEDURE,
    WND::USB_FORMAT_PROCEDURE, WND::PLAYER, WND::FORCE_FORMAT, WND::FORMATTING, WND::SD_WRITE_ERROR,
};

bool IsFormatOrWriteError(WND::ID id)
{
    return id == WND::FORCE_FORMAT || id == WND::SD_WRITE_ERROR;
}

} // namespace

CMainDvr::~CMainDvr()
{
    if (_tt.joinable())
        _tt.detach();
    if (_power_command_thread.joinable())
        _power_command_thread.join();
}

void CMainDvr::Initialize(bool)
{
    PowerRearCamera();
    BmWorks::Inst()->Init(StorageCallback);
    if (Singleton<CMain>::Inst()->IsParkingRecoveryMode()) {
        TurnOffLcd();
        SetParkingMode();
    }
    SetUpEngine();
    BmWorks::Inst()->bmMux[Front].mVideo.StartVideoOut();
    StartCamera(Front, "                    Reboot(Front)");
    if (Singleton<Pref>::Inst()->IsRearCameraOn())
        StartCamera(Rear, "                    Reboot(Rear)");
    StartVideoOut();

    _lcdOn = true;
    _runApMode = false;
    _fileErrorCount = 0;
    _sdCardCheckTimer = false;
    _currentWindow = WND::LIVEVIEW;
    Singleton<FileLoop>::Inst()->Init();
    Singleton<Resource>::Inst()->Init(480, 320, 1);
    CheckSDCardForDB();
    _firstWindow = ChooseFirstWindow();
    InitDeviceServices();
}

void CMainDvr::PowerRearCamera()
{
    std::system("echo 227 > /sys/class/gpio/export");
    std::system("echo out > /sys/class/gpio/gpio227/direction");
    std::system("echo 1 > /sys/class/gpio/gpio227/value");
}

void CMainDvr::SetUpEngine()
{
    BmWorks* engine = BmWorks::Inst();
    Pref* pref = Singleton<Pref>::Inst();
    engine->SetFps(F30);
    engine->SetFpsRear(F30);
    engine->SetHdr(true);
    engine->SetEventTimeSec(20, 5);
    engine->SetWallClock(WallClockSeconds);
    engine->SetMirrorRear(pref->GetMirrorRear() == RECORDING::MIRROR_REAR::OFF);
    engine->SetFsadasCallback(Front, FsadasCallback);

    // Encoder preset of the front camera from the recording size.
    VideoSize front = WQHD;
    if (pref->GetLongTimeRecord() == RECORDING::LONGTIME_RECORD::ON || pref->GetVideoSize() == 2)
        front = HD;
    else if (pref->GetVideoSize() == 1)
        front = FHD;
    engine->SetCongigBeforeStart(Front, front);
    engine->SetCongigBeforeStart(Rear, FHD);

    engine->SetNewFileNameCallback(CallbackRecordFile);
    engine->SetErrorCallback(CallbackError);
    engine->SetMotionDetectCallback(CallbackMotionDetect);
}

void CMainDvr::StartCamera(CameraPosition camera, const char* banner)
{
    if (BmWorks::Inst()->Start(camera) == 0)
        return;
    const char* rule = "================================================================\n";
    std::printf("%s%s%s\n%s%s", rule, rule, banner, rule, rule);
    ExitToShell();
}

void CMainDvr::StartVideoOut()
{
    BmWorks* engine = BmWorks::Inst();
    engine->RunVideoOut(Front);
    if (Singleton<Pref>::Inst()->IsRearCameraOn()) {
        engine->RunVideoOut(Rear);
        engine->SetVideoOutConfig(VideoOutConfig(Singleton<Pref>::Inst()->GetView()));
    } else {
        engine->SetVideoOutConfig(VocFront);
    }
    Pref::SetBrightness();
    BmVideo::SetVisible(true);
}

WND::ID CMainDvr::ChooseFirstWindow()
{
    Storage* storage = Singleton<Storage>::Inst();
    bool internal = Singleton<Pref>::Inst()->IsInternalStorageUsed();
    auto chosen = [](WND::ID id, const char* line) {
        Log()->Print("%s\n", line);
        return id;
    };
    if (!storage->DoesDeviceExist()) {
        if (storage->IsSdCardDetected())
            return chosen(WND::SD_WRITE_ERROR, "SD detect but dummy - WND::SD_WRITE_ERROR");
        return WND::LIVEVIEW;
    }
    bool writable = storage->IsWritable();
    if (!storage->CheckDevice()) {
        if (writable && internal)
            return chosen(WND::FORCE_FORMAT, "exFAT - WND::FORCE_FORMAT2");
        if (writable && storage->IsInvalidFileSystem())
            return chosen(WND::SD_WRITE_ERROR, "IsInvalidFileSystem() - WND::SD_WRITE_ERROR");
        if (writable)
            return chosen(WND::FORCE_FORMAT, "exFAT - WND::FORCE_FORMAT");
        if (internal)
            return chosen(WND::LIVEVIEW, "IsWritable() error - WND::LIVEVIEW");
        return chosen(WND::SD_WRITE_ERROR, "IsWritable() error - WND::SD_WRITE_ERROR");
    }
    if (writable) {
        Log()->CheckFiles();
        OnSDCard(true);
        return WND::LIVEVIEW;
    }
    if (!internal)
        return chosen(WND::SD_WRITE_ERROR, "check success, write error - WND::SD_WRITE_ERROR");
    return WND::LIVEVIEW;
}

void CMainDvr::InitDeviceServices()
{
    Log()->Print("================== DVR starts ==================\n");
    Singleton<Rtc>::Inst()->Init();
    SetSystemTimeFromRtc();
    Singleton<UITimer>::Inst()->Init(10);
    UIQueue::Inst()->Init();
    Singleton<PollingGpio>::Inst()->Init(Singleton<CMain>::Inst()->GetPrevParkingDuration());
    Singleton<KeyboardOp>::Inst()->Init();
    Singleton<GPS>::Inst()->Init(false);
    Singleton<LED>::Inst()->Init();
    Singleton<GSensor>::Inst()->Init();
    Singleton<TouchSensor>::Inst()->Init();
    Singleton<MobileApp>::Inst()->Init();
    Singleton<SpeedCam>::Inst()->Init();
}

void CMainDvr::StartDeviceThreads()
{
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<SDDebug>::Inst()->Start();
    Singleton<PollingGpio>::Inst()->Start();
    Singleton<GPS>::Inst()->Start();
    Singleton<LED>::Inst()->Start();
    Singleton<GSensor>::Inst()->Start();
    Singleton<TouchSensor>::Inst()->Start();
    Singleton<Micom>::Inst()->Start();
}

void CMainDvr::Start()
{
    StartDeviceThreads();
    ApplyUserPref();
    _running = true;
    _status.gps_lock = false;
    RegisterDVRHandler();
    if (!Singleton<CMain>::Inst()->IsParkingRecoveryMode())
        ReviewFirstWindow();
    Log()->Print("[CMainDvr]start id : %d\n", _firstWindow);
    // The device threads have posted while the windows were made, and a full
    // bus drops what is sent: take in what waits, so the first page is not lost.
    DispatchPending();
    UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::CHANGE_PAGE, _firstWindow, 0);
    ArmTimer(TIMER::CMAIN_ENABLE_WATCHDOG, WATCHDOG_ENABLE_TIMER_COUNT);
    ApplyBootAnnouncement();
    if (!IsFormatOrWriteError(_firstWindow)) {
        _sdCardCheckTimer = true;
        ArmTimer(TIMER::CMAIN_CHECK_SDCARD, CHECK_SDCARD_TIME_COUNT);
    } else if (Singleton<CMain>::Inst()->IsParkingRecoveryMode()) {
        Log()->Print("[CMainDvr]Parking Recovery mode, shut down\n");
        UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, 0, 0);
    }
    _tt = std::thread(&CMainDvr::UsbEventThread, this);
    RunLoop();
}

void CMainDvr::ApplyUserPref()
{
    Log()->Print("[CMainDvr]ApplyUserPref\n");
    Singleton<Sound>::Inst()->SetUserVolume();
    if (Singleton<Pref>::Inst()->IsMicOn())
        SetMicOn();
    else
        SetMicOff();
    Pref::SetBrightness();
}

void CMainDvr::ReviewFirstWindow()
{
    if (!Singleton<Pref>::Inst()->IsInternalStorageUsed()) {
        if (!IsFormatOrWriteError(_firstWindow) && Singleton<Storage>::Inst()->IsLifeTimeOut())
            _firstWindow = WND::SD_EXCHANGE;
    } else if (_firstWindow != WND::FORCE_FORMAT) {
        Log()->Print("[CMainDvr]change id:%d to LIVEVIEW\n", _firstWindow);
        _firstWindow = WND::LIVEVIEW;
    }
}

void CMainDvr::ApplyBootAnnouncement()
{
    Pref* pref = Singleton<Pref>::Inst();
    using namespace SYSTEM::BOOT_MODE;
    VALUE mode = pref->GetBootMode();
    pref->SetBootAnnounce(mode != MESSAGE_ONLY && mode != NOTING);
    pref->SetBootMessage(mode != ANNOUNCE_ONLY && mode != NOTING);
    pref->SetBootMode(ANNOUNCE_N_MESSAGE);
}

void CMainDvr::ApplyBootModeRule()
{
    Pref* pref = Singleton<Pref>::Inst();
    SYSTEM::BOOT_MODE::VALUE status = pref->GetBootStatus();
    pref->SetBootMode(status <= SYSTEM::BOOT_MODE::NOTING ? status : SYSTEM::BOOT_MODE::ANNOUNCE_N_MESSAGE);
    pref->Save();
}

void CMainDvr::RunLoop()
{
    while (_running) {
        ipc_msg_t msg {};
        if (UIQueue::Inst()->RecvMessage(msg, MAIN_LOOP_RECEIVE_MS) <= 0) {
            usleep(MAIN_LOOP_RECEIVE_MS * 1000);
            continue;
        }
        Dispatch(msg);
    }
}

void CMainDvr::DispatchPending()
{
    ipc_msg_t msg {};
    while (UIQueue::Inst()->RecvMessage(msg, 0) > 0)
        Dispatch(msg);
}

void CMainDvr::Dispatch(ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::SHUTDOWN:
        OnShutDown(msg);
        break;
    case WM::ACC:
        OnAcc(msg);
        break;
    case WM::APPLY_USER_PREF:
        ApplyUserPref();
        break;
    case WM::GPS:
        OnGps(msg);
        break;
    case WM::EXIT:
        OnExit(msg);
        break;
    case WM::CHANGE_PAGE:
        SetPage(WND::ID(msg.param1), msg.param2);
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::WIFI:
        OnWiFi(msg);
        break;
    case WM::REBOOT:
        OnReboot(msg);
        break;
    default:
        OnDefault(msg);
        break;
    }
}

void CMainDvr::OnGps(ipc_msg_t& msg)
{
    bool lock = msg.param1 == 1;
    if (lock != _status.gps_lock)
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::GPS_STATE_CHANGED, 0, 0);
    _status.gps_lock = lock;
    if (lock)
        Singleton<LED>::Inst()->Set(LED::GPS_LOCK);
    else
        Singleton<LED>::Inst()->Clear(LED::GPS_LOCK);
}

void CMainDvr::ArmTimer(TIMER::ID id, int ms)
{
    Singleton<UITimer>::Inst()->Set(WND::CMAIN_DVR, id, ms);
}

void CMainDvr::OnDefault(ipc_msg_t& msg)
{
    if ((msg.wnd != _currentWindow && msg.wnd != WND::ANY) || !_currentHandler) {
        Log()->Print("[CMainDvr]_currentWindow:%d, wnd:%d\n", _currentWindow, msg.wnd);
        return;
    }
    _currentHandler->OnMessage(msg);
}

void CMainDvr::RegisterHandler(WND::ID id, std::shared_ptr<MessageHandler> handler)
{
    _messageHandlers[id] = std::move(handler);
}

void CMainDvr::SetPage(WND::ID id, int param)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    WND::ID target = id == WND::PREVIOUS_MENU ? GetMenuId(-2) : id;
    auto handler = _messageHandlers.find(target);
    if (handler == _messageHandlers.end()) {
        // Stay on the current window: the stack, the handler and the screen are untouched.
        Log()->Print("[CMainDvr]menu id:%d error, add Handler\n", target);
        return;
    }
    // Settings the menus changed are kept however the menus close to the
    // live view: by a key, by HOME in any screen or by the time-out.
    if (target == WND::LIVEVIEW && InMenuTree())
        Singleton<Pref>::Inst()->Save();
    id = SetMenuId(id, 0);
    if (std::find(std::begin(NO_MENU_TIME_OUT), std::end(NO_MENU_TIME_OUT), id) != std::end(NO_MENU_TIME_OUT))
        PauseShowMenuTimer();
    else
        ResumeShowMenuTimer();
    _currentWindow = id;
    if (id == WND::LIVEVIEW && !_sdCardCheckTimer) {
        _sdCardCheckTimer = true;
        ArmTimer(TIMER::CMAIN_CHECK_SDCARD, CHECK_SDCARD_TIME_COUNT);
    }
    Singleton<Resource>::Inst()->SetPage(id);
    _currentHandler = handler->second;
    UIQueue::Inst()->SendMessage(id, WM::INIT, param, 0);
}

bool CMainDvr::InMenuTree() const
{
    return std::find(_menuList, _menuList + _menuDepth, WND::MAINMENU) != _menuList + _menuDepth;
}

WND::ID CMainDvr::SetMenuId(WND::ID id, int clear)
{
    if (id == WND::PREVIOUS_MENU) {
        if (_menuDepth < 2)
            Log()->Print("[CMainDvr]SetMenuId > _menuDepth = %d < 2\n", _menuDepth);
        id = GetMenuId(-2);
    }
    if (clear != 0) {
        _menuList[0] = id;
        _menuDepth = 1;
        Log()->Print("[CMainDvr] MenuList clear.\n");
        return id;
    }
    for (int i = 0; i < _menuDepth; ++i) {
        Log()->Print("[CMainDvr]SetMenuId > MenuList [%d] : %d\n", i, _menuList[i]);
        if (_menuList[i] == id) {
            _menuDepth = i + 1;
            Log()->Print("[CMainDvr]SetMenuId > _menuDepth = %d\n", _menuDepth);
            return id;
        }
    }
    if (_menuDepth >= MAX_MENULIST)
        VK_ASSERT_REPORT("_menuDepth < MAX_MENULIST");
    _menuList[_menuDepth++] = id;
    Log()->Print("[CMainDvr]SetMenuId > _menuDepth = %d\n", _menuDepth);
    return id;
}

WND::ID CMainDvr::GetMenuId(int depth)
{
    if (depth < 0) {
        int iAbsDepth = -depth;
        if (_menuDepth < iAbsDepth)
            VK_ASSERT_REPORT("_menuDepth >= iAbsDepth");
        return WND::ID(_menuList[_menuDepth - iAbsDepth]);
    }
    if (depth < _menuDepth)
        return WND::ID(_menuList[depth]);
    std::printf("[CMainDvr]GetMenuId > iDepth = %d\n", depth);
    return WND::LIVEVIEW;
}

void CMainDvr::SetMessageBox(int text, WND::ID next)
{
    auto box = _messageHandlers.find(WND::MESSAGE_BOX);
    if (box == _messageHandlers.end()) {
        Log()->Print("[CMainDvr]menu id:%d error, add Handler\n", WND::MESSAGE_BOX);
        return;
    }
    ipc_msg_t msg {};
    msg.wnd = WND::MESSAGE_BOX;
    msg.cmd = WM::SET_MESSAGE;
    msg.param1 = text;
    box->second->OnMessage(msg);
    UIQueue::Inst()->SendMessage(_currentWindow, WM::CLOSE, WND::MESSAGE_BOX, next);
}

bool CMainDvr::IsCurrentLiveview()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _currentWindow == WND::LIVEVIEW;
}

void CMainDvr::PauseShowMenuTimer()
{
    Log()->Print("[CMainDvr]PauseShowMenuTimer\n");
    Singleton<UITimer>::Inst()->Kill(WND::CMAIN_DVR, TIMER::CMAIN_DVR_SHOW_MENU);
}

void CMainDvr::ResumeShowMenuTimer()
{
    Log()->Print("[CMainDvr]ResumeShowMenuTimer\n");
    ArmTimer(TIMER::CMAIN_DVR_SHOW_MENU, MENU_SHOW_TIME_COUNTER);
}

void CMainDvr::SetApMode()
{
    UIQueue::Inst()->SendMessage(_currentWindow, WM::CLOSE, WND::APMODE, _currentWindow);
}

void CMainDvr::Finalize()
{
    _running = false;
    if (_tt.joinable())
        _tt.join();
    // A shutdown under way ends the process itself; the power-off commands are
    // never cut off half-way.
    if (_power_command_thread.joinable())
        _power_command_thread.join();
    // The engine's threads call back into the run mode and its services; they
    // end before any of those is finalised or, at exit, destroyed.
    BmWorks::Inst()->Shutdown();
    Singleton<UITimer>::Inst()->Finalize();
    Singleton<GPS>::Inst()->Finalize();
    Singleton<LED>::Inst()->Finalize();
    Singleton<Resource>::Inst()->Finalize();
    Singleton<PollingGpio>::Inst()->Finalize();
    Singleton<KeyboardOp>::Inst()->Finalize();
    Singleton<GSensor>::Inst()->Finalize();
    Singleton<TouchSensor>::Inst()->Finalize();
    Singleton<SDDebug>::Inst()->Finalize();
    Singleton<SpeedCam>::Inst()->Finalize();
    // Last: the device threads above post until they end.
    UIQueue::Inst()->Finalize();
}

void CMainDvr::ExitToShell()
{
    Singleton<CLogger>::Inst()->Finalize();
    std::system("sync");
    EndProcess(0);
}

} // namespace vk
