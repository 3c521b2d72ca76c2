#pragma once
// The normal run mode: the recorder as the driver uses it. Brings up the
// media engine and the device services, owns the windows, runs the main
// message loop (the only thread that touches windows) and offers the
// operations that windows call.

#include "bmworks/BmTypes.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/Singleton.h"
#include "dashrec/core/ipc.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace vk {

class MessageHandler;

struct CStatusMainDvr {
    enum MODE { NORMAL = 0, PARKING = 1, RESTART = 2 };
    std::atomic<MODE> mode { NORMAL };
    bool wifi_on = false;
    bool gps_lock = false;
    bool sdcard_on = false;
    bool rear_camera_on = true;
};

class CMainDvr : public Singleton<CMainDvr>, public CMainHandler {
public:
    const int USB_DISCONNECTED = 0;
    const int USB_CONNECTED = 1;
    const int USB_CONFIGURED = 2;
    static const int MAX_MENULIST = 16;
    static const std::string PATH_HOSTAPD_CONF;

    static const int FILE_ERROR_RETRY = 3;
    static const int REBOOT_TIME_COUNT = 500;
    static const int SHUTDOWN_TIME_COUNT = 1;
    static const int MENU_SHOW_TIME_COUNTER = 30000;
    static const int EXIT_TIME_COUNT = 100;
    static const int CHECK_SDCARD_TIME_COUNT = 300;
    static const int WATCHDOG_RESET_TIMER_COUNT = 3000;
    static const int WATCHDOG_ENABLE_TIMER_COUNT = 1000;
    static const int CHECK_USB_TIME_COUNT = 500;
    static const int MAIN_LOOP_RECEIVE_MS = 100;

    ~CMainDvr() override;

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    // Windows are registered under their ids as they are built; a page change
    // to an id without a window is refused.
    void RegisterHandler(WND::ID id, std::shared_ptr<MessageHandler> handler);
    // Creates the windows of this run mode once; ids already registered are kept.
    void RegisterDVRHandler();
    void SetPage(WND::ID id, int param);
    WND::ID SetMenuId(WND::ID id, int clear);
    WND::ID GetMenuId(int depth);
    int GetMenuDepth() const { return _menuDepth; }
    void OnDefault(ipc_msg_t& msg);
    void SetMessageBox(int text, WND::ID next);
    WND::ID CurrentWindow() const { return _currentWindow; }
    WND::ID FirstWindow() const { return _firstWindow; }

    bool IsNormalMode() const { return _status.mode == CStatusMainDvr::NORMAL; }
    bool IsParkingMode() const { return _status.mode == CStatusMainDvr::PARKING; }
    void SetNormalMode() { _status.mode = CStatusMainDvr::NORMAL; }
    void SetParkingMode() { _status.mode = CStatusMainDvr::PARKING; }
    void SetRestartMode() { _status.mode = CStatusMainDvr::RESTART; }
    bool IsSdCardOn() const { return _status.sdcard_on; }
    CStatusMainDvr::MODE GetCurrentMode() const { return _status.mode; }
    bool IsGpsLocked() const { return _status.gps_lock; }
    bool IsRearCameraOn() const { return _status.rear_camera_on; }
    bool IsConnectedToUSB() const { return _usb_status != USB_DISCONNECTED; }
    bool IsLcdOn() const { return _lcdOn; }
    void TurnOnLcd();
    void TurnOffLcd();
    void SetMicOn();
    void SetMicOff();
    void SetCpuClock(int level);
    void PauseVideoOut();
    void ResumeVideoOut();
    static void RunFsadas();
    static void PauseFsadas();
    void PauseShowMenuTimer();
    void ResumeShowMenuTimer();
    bool IsCurrentLiveview();
    void UpdateSupercapVoltage() {}
    void BatteryPlusDownSequence() {}
    [[noreturn]] void ExitToShell();
    void SetApMode();
    // The medium comes into use or leaves it.
    void OnSDCard(bool on);

    void SetSystemTimeFromRtc();
    void RunApMode();
    void OnWiFi(ipc_msg_t& msg);
    // One kernel uevent of the USB gadget, as the USB event thread receives it.
    void OnUsbEvent(const char* message, int length);

private:
    friend class Singleton<CMainDvr>;
    CMainDvr() = default;

    void PowerRearCamera();
    void SetUpEngine();
    void StartCamera(CameraPosition camera, const char* banner);
    void StartVideoOut();
    WND::ID ChooseFirstWindow();
    void InitDeviceServices();
    void StartDeviceThreads();
    void ApplyUserPref();
    void ReviewFirstWindow();
    void ApplyBootAnnouncement();
    // Every exit path leaves the boot mode for the next start.
    void ApplyBootModeRule();
    void RunLoop();
    void Dispatch(ipc_msg_t& msg);
    void OnGps(ipc_msg_t& msg);
    void OnExit(ipc_msg_t& msg);
    void OnTimer(ipc_msg_t& msg);
    void ArmTimer(TIMER::ID id, int ms);
    void UsbEventThread();
    void BindUsbGadget(const char* command);
    bool SetTimeFromRtc(int gmtOffset, long seconds);

    bool NO_SDCARD_IN_PARKING_MODE_send_flag = false;
    int _menuDepth = 0;
    int _menuList[MAX_MENULIST] = {};
    bool _lcdOn = false;
    std::atomic<bool> _running { false };
    bool _runApMode = false;
    bool _sdCardCheckTimer = false;
    int _fileErrorCount = 0;
    CStatusMainDvr _status;
    std::atomic<int> _usb_status { 0 };
    std::thread _tt;
    std::atomic<int> _usbSocket { -1 };
    WND::ID _currentWindow = WND::INVALID;
    WND::ID _firstWindow = WND::LIVEVIEW;
    std::shared_ptr<MessageHandler> _currentHandler;
    std::map<WND::ID, std::shared_ptr<MessageHandler>> _messageHandlers;
};

} // namespace vk
