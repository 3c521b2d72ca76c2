#pragma once
// The normal run mode: the recorder as the driver uses it. Brings up the
// media engine and the device services, owns the windows, runs the main
// message loop (the only thread that touches windows) and offers the
// operations that windows call.

#include "bmworks/BmTypes.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/Singleton.h"
#include "dashrec/core/ipc.h"
#include "dashrec/devices/Micom.h"

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
    [[noreturn]] void ExitToShell();
    void SetApMode();

    // The loop's handlers of timers, ignition, reboot, exit and shutdown.
    void OnTimer(ipc_msg_t& msg);
    void OnAcc(ipc_msg_t& msg);
    void OnReboot(ipc_msg_t& msg);
    void OnExit(ipc_msg_t& msg);
    void OnShutDown(ipc_msg_t& msg);

    // The medium comes into use or leaves it.
    void OnSDCard(bool on);
    void SendTimerNoSdcardInParkingMode();
    // Counts one recording-file error of kind `name`; restarts recording, and
    // the program at the third error of a run.
    void WriteErrorCount(const char* name);
    // The recording partition is mounted at the card's mount point.
    bool IsMounted();

    // Power loss: the supply monitor calls these on its own thread.
    void UpdateSupercapVoltage();
    int SupercapVoltage();
    void SetBatteryTime(uint64_t msec) { _battery_time = msec; }
    void BatteryPlusDownSequence();
    void NormalPowerDownSequence();
    void AxpPowerOff();
    void SetMicomLock() {}

    void SetSystemTimeFromRtc();
    // The speed-camera database: a card's copy moved to the eMMC; the eMMC
    // copy loaded, else (missing or damaged) the one that ships.
    void CheckSDCardForDB();
    void LoadSpeedCamDB();
    void RunApMode();
    void OnWiFi(ipc_msg_t& msg);
    // One kernel uevent of the USB gadget, as the USB event thread receives it.
    void OnUsbEvent(const char* message, int length);

private:
    // The main menu is on the menu stack: the driver is in the menu tree.
    bool InMenuTree() const;
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
    void DispatchPending();
    void Dispatch(ipc_msg_t& msg);
    void OnGps(ipc_msg_t& msg);
    void ArmTimer(TIMER::ID id, int ms);
    void KillTimer(TIMER::ID id);

    // Timers of the run mode itself.
    void OnShowMenuTimer();
    void OnCheckSdCardTimer();
    void OnMediumInserted();
    void OnMediumRemoved();
    void CheckBackupCard();
    void CheckDummyCard(bool present);
    void OnResetWatchdogTimer();
    void OnEnableWatchdogTimer();
    void OnFileErrorTimer(int timer);
    void OnRebootTimer();
    void OnExitTimer();
    void OnNoSdcardInParkingModeTimer();
    void OnParkingRecoveryTimer();
    void OnRestartParkingModeTimer();
    // Leaves the parking duration for the next start.
    void PrepareParkingRestart(const char* line);
    void CloseCurrentTo(WND::ID next, int param2);

    // Ignition and the ways out of the program.
    void OnAccOn();
    void OnAccOff();
    bool FindUpdateFile();
    void PostShutdown(Micom::REASON reason);
    void PowerOffThread(Micom::REASON reason);
    void PowerDownSequence(bool batteryPlus);
    void OnShutdownTimer();
    uint64_t SinceBatteryTime() const;
    void UsbEventThread();
    void BindUsbGadget(const char* command);

    bool NO_SDCARD_IN_PARKING_MODE_send_flag = false;
    int _menuDepth = 0;
    int _menuList[MAX_MENULIST] = {};
    bool _lcdOn = false;
    std::atomic<bool> _running { false };
    bool _runApMode = false;
    bool _sdCardCheckTimer = false;
    std::thread _power_command_thread;
    int _fileErrorCount = 0;
    CStatusMainDvr _status;
    std::atomic<int> _supercap_voltage { 0 };
    std::atomic<uint64_t> _battery_time { 0 };
    bool _short_battery_plus_down = false;
    RecordType _power_down_record_type = Normal;
    std::atomic<bool> _battery_plus_down_sequence_done { false };
    // The supply was lost: the end sequence asks the power chip to cut it.
    std::atomic<bool> _battery_plus_down { false };
    Micom::REASON _reason = Micom::NORMAL_OFF_POWER;
    std::atomic<bool> _power_off { false };
    // Medium check: consecutive checks that saw a card without a device, and
    // the backup card's presence while the eMMC records.
    int _dummyCardCount = 0;
    bool _backupCardIn = false;
    std::atomic<int> _usb_status { 0 };
    std::thread _tt;
    std::atomic<int> _usbSocket { -1 };
    WND::ID _currentWindow = WND::INVALID;
    WND::ID _firstWindow = WND::LIVEVIEW;
    std::shared_ptr<MessageHandler> _currentHandler;
    std::map<WND::ID, std::shared_ptr<MessageHandler>> _messageHandlers;
};

} // namespace vk
