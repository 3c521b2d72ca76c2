// Ignition, parking entry and every way out of the program: reboot, exit,
// restart into parking recovery, and the shutdown that keeps the last
// recording intact on the back-up capacitor when the supply goes.

#include "dashrec/dvr/CMainDvr.h"

#include "bmworks/BmPost.h"
#include "bmworks/bmworks.h"
#include "dashrec/core/CLogger.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/ProcessEnd.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/menus/EmmcInfo.h"
#include "dashrec/ui/UITimer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vk {

namespace {

const char GPADC_DATA[] = "/sys/class/gpadc/data";
const int SUPERCAP_LOW = 2500;
const int SUPERCAP_POLL_MS = 100;
const uint64_t CLOSE_WAIT_WITH_REAR_MS = 2300;
const uint64_t CLOSE_WAIT_FRONT_ONLY_MS = 2500;
const uint64_t POWER_HOLD_MS = 5999;
const int POWER_HOLD_PRINT_MS = 200;
const int POWER_OFF_COMMANDS = 3;
const int POWER_OFF_PAUSE_MS = 120;
const int AXP_POWER_OFF_WAIT_S = 10;
const int ENGINE_RELEASE_WAIT_MS = 2000;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool IsUpdateFileName(const char* name)
{
    return std::strstr(name, "zentro") != nullptr && std::strstr(name, ".bin") != nullptr;
}

// Ignition coming back restarts the recorder instead of powering it down,
// except after the power key or a normal power-off.
bool RestartsWhenAccReturns(Micom::REASON reason)
{
    return reason != Micom::NORMAL_OFF_POWER && reason != Micom::POWER_KEY;
}

// Which recording survives a power loss: the first row whose type runs; when
// none runs, the normal row. Loop recording goes on beside an event or a
// parking clip, so those rows come first: the clip of the impact is the one
// that must survive.
struct PowerDownRow {
    RecordType kept;
    RecordType dropped[3];
    bool cutShort;
    const char* name;
};

const PowerDownRow POWER_DOWN_TABLE[] = {
    { Event, { Normal, Manual, Parking }, true, "Event" },
    { Parking, { Normal, Event, Manual }, true, "Parking" },
    { Normal, { Event, Manual, Parking }, false, "Normal" },
};
const PowerDownRow& NORMAL_ROW = POWER_DOWN_TABLE[2];

const PowerDownRow& RowToKeep(BmWorks* engine)
{
    for (const PowerDownRow& row : POWER_DOWN_TABLE)
        if (engine->IsRunRecord(row.kept))
            return row;
    return NORMAL_ROW;
}

gboolean ReleaseOnEngineThread(gpointer data)
{
    for (BmMux& mux : BmWorks::Inst()->bmMux) {
        mux.mVideo.mBmDma.Uninit();
        mux.mVideo.mBmMod.Uninit();
    }
    auto* released = static_cast<std::promise<void>*>(data);
    released->set_value();
    delete released;
    return G_SOURCE_REMOVE;
}

// The engine's thread reads the video memory for every frame it shows or
// checks for motion: released beside it, a frame in flight would use freed
// memory. So the outputs stop, and the memory goes on that thread, between
// frames.
void ReleaseVideoHardware()
{
    BmWorks* engine = BmWorks::Inst();
    engine->PauseVideoOut(Front);
    engine->PauseVideoOut(Rear);
    auto* released = new std::promise<void>();
    std::future<void> done = released->get_future();
    BmPost(ReleaseOnEngineThread, released);
    if (done.wait_for(std::chrono::milliseconds(ENGINE_RELEASE_WAIT_MS)) != std::future_status::ready)
        Log()->Print("[CMainDvr]video hardware not released: the engine does not answer\n");
}

} // namespace

void CMainDvr::OnAcc(ipc_msg_t& msg)
{
    if (msg.param1 == PARAM1::ACC_ON)
        OnAccOn();
    else if (msg.param1 == PARAM1::ACC_OFF)
        OnAccOff();
}

void CMainDvr::OnAccOn()
{
    if (!IsParkingMode()) {
        SetNormalMode();
        return;
    }
    Log()->Print("[CMainDvr]ACC on, Change to Normal mode.\n");
    if (FindUpdateFile()) {
        // Stay parked: the launcher installs the update at the restart.
        UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
        return;
    }
    SetNormalMode();
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::STOP_PARKING_MODE, 1, 0);
}

bool CMainDvr::FindUpdateFile()
{
    const char* top = "/mnt/extsd";
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed()) {
        top = "/tmp/sd";
        if (access(top, F_OK) != 0)
            std::system("mkdir /tmp/sd");
        std::system("mount /dev/mmcblk1p1 /tmp/sd");
    }
    DIR* dir = opendir(top);
    if (dir == nullptr)
        return false;
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        if (IsUpdateFileName(entry->d_name)) {
            Log()->Print("[CMainDvr]OnAcc > Find update file (%s).\n", entry->d_name);
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

void CMainDvr::OnAccOff()
{
    Pref* pref = Singleton<Pref>::Inst();
    if (!pref->IsParkingModeOn()) {
        Log()->Print("[CMainDvr]ACC off, power-down\n");
        PostShutdown(Micom::ACC_OFF);
        return;
    }
    CMain* main = Singleton<CMain>::Inst();
    if (main->IsParkingRecoveryMode()) {
        main->ClearParkingRecovery();
        Log()->Print("[CMainDvr]ACC off - Parking recovery mode clear\n");
        return;
    }
    if (pref->IsInternalStorageUsed()) {
        EmmcInfo emmc;
        if (emmc.IsLifeTimeOver()) {
            Log()->Print("[CMainDvr]ACC off, EMMC lifetime over :%s\n", emmc.LifeTime());
            PostShutdown(Micom::ACC_OFF);
            return;
        }
        if (!Singleton<Storage>::Inst()->IsWritable()) {
            Log()->Print("[CMainDvr]ACC off, EMMC write error\n");
            PostShutdown(Micom::ACC_OFF);
            return;
        }
    }
    Log()->Print("[CMainDvr]ACC off, parking mode\n");
    pref->ResetParkingAlarmCount();
    SetParkingMode();
    if (IsCurrentLiveview())
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::START_PARKING_MODE, 0, 0);
    if (!Singleton<Storage>::Inst()->DoesDeviceExist())
        SendTimerNoSdcardInParkingMode();
}

void CMainDvr::PostShutdown(Micom::REASON reason)
{
    UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::SHUTDOWN, reason, 0);
}

void CMainDvr::OnReboot(ipc_msg_t&)
{
    Log()->Print("[CMainDvr]MSG::SYS::REBOOT\n");
    SetRestartMode();
    ApplyBootModeRule();
    // Closing to the dummy window stops the recordings without lighting the LCD.
    if (IsCurrentLiveview())
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::CLOSE, WND::DUMMY, 0);
    Singleton<LED>::Inst()->ClearAll();
    ArmTimer(TIMER::REBOOT, REBOOT_TIME_COUNT);
}

void CMainDvr::OnExit(ipc_msg_t&)
{
    Singleton<Micom>::Inst()->SendWDTDisable();
    Log()->Print("[CMainDvr]WM::EXIT\n");
    SetRestartMode();
    ApplyBootModeRule();
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::CLOSE, WND::DUMMY, 0);
    Singleton<LED>::Inst()->ClearAll();
    ArmTimer(TIMER::EXIT, EXIT_TIME_COUNT);
}

void CMainDvr::PrepareParkingRestart(const char* line)
{
    SetRestartMode();
    ApplyBootModeRule();
    Singleton<Micom>::Inst()->SendWDTDisable();
    ReleaseVideoHardware();
    unsigned long long duration = Singleton<PollingGpio>::Inst()->GetParkingDuration();
    std::printf(line, duration);
    if (FILE* file = std::fopen("/tmp/pr", "w")) {
        std::fprintf(file, "%llu", duration);
        std::fclose(file);
    }
}

void CMainDvr::OnParkingRecoveryTimer()
{
    PrepareParkingRestart("PARKING_RECOVERY ---------->%llu\n");
    ExitToShell();
}

void CMainDvr::OnRestartParkingModeTimer()
{
    PrepareParkingRestart("RESTART_PARKING_MODE ---------->%llu\n");
    UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
}

void CMainDvr::OnShutDown(ipc_msg_t& msg)
{
    // A shutdown is final: a second request (power key, parking limit and the
    // supply going together) must not start a second power-off thread.
    if (_power_off.exchange(true)) {
        Log()->Print("[CMainDvr]MSG::SYS::SHUTDOWN, reason:%d, already shutting down\n", msg.param1);
        return;
    }
    Singleton<Sound>::Inst()->Play(Sound::power_off);
    Singleton<CLogger>::Inst()->Finalize();
    ApplyBootModeRule();
    _reason = Micom::REASON(msg.param1);
    NormalPowerDownSequence();
    Log()->Print("[CMainDvr]MSG::SYS::SHUTDOWN, reason:%d, battery_time=%llu\n", _reason,
                 static_cast<unsigned long long>(SinceBatteryTime()));
    ArmTimer(TIMER::SHUTDOWN, SHUTDOWN_TIME_COUNT);
    Singleton<LED>::Inst()->ClearAll();
    _power_command_thread = std::thread(&CMainDvr::PowerOffThread, this, _reason);
}

void CMainDvr::PowerOffThread(Micom::REASON reason)
{
    Micom* micom = Singleton<Micom>::Inst();
    micom->SendWDTDisable();
    SleepMs(reason == Micom::NORMAL_OFF_POWER ? 1000 : 3000);
    bool restart = RestartsWhenAccReturns(reason);
    if (restart && micom->GetACCStatus()) {
        SleepMs(2000);
        EndProcess(0);
    }
    Micom::REASON sent = reason == Micom::ACC_OFF ? Micom::NORMAL_OFF_POWER : reason;
    for (int i = 0; i < POWER_OFF_COMMANDS; ++i) {
        micom->SendPowerOff(sent);
        SleepMs(POWER_OFF_PAUSE_MS);
        if (restart && micom->GetACCStatus())
            EndProcess(0);
    }
}

uint64_t CMainDvr::SinceBatteryTime() const
{
    return BmClock::Inst()->Msec() - _battery_time;
}

void CMainDvr::NormalPowerDownSequence()
{
    PowerDownSequence(false);
}

void CMainDvr::BatteryPlusDownSequence()
{
    PowerDownSequence(true);
}

void CMainDvr::PowerDownSequence(bool batteryPlus)
{
    // The supply monitor's thread and the loop may both get here: once only.
    if (_battery_plus_down_sequence_done.exchange(true))
        return;
    _battery_plus_down = batteryPlus;
    _battery_time = BmClock::Inst()->Msec();
    TurnOffLcd();
    if (batteryPlus)
        AxpPowerOff();
    BmWorks* engine = BmWorks::Inst();
    engine->SetEmergency();
    const PowerDownRow& row = RowToKeep(engine);
    for (RecordType type : row.dropped) {
        engine->PauseRecord(Front, type);
        engine->PauseRecord(Rear, type);
        engine->TrashEmergency(type);
    }
    _power_down_record_type = row.kept;
    _short_battery_plus_down = row.cutShort;
    Log()->Print("%s record_type=%s, battery_voltage=%d\n", batteryPlus ? "[B+PowerDown]" : "[NormalPowerDown]",
                 row.name, _supercap_voltage.load());
    engine->SetAutoStop(_short_battery_plus_down);
    if (batteryPlus)
        SetMicomLock();
}

void CMainDvr::AxpPowerOff()
{
    std::system("echo 1 > /sys/camdetect/standby");
    std::system("echo 1 > /sys/imx335reg/standby");
    Log()->Print("AxpPowerOff\n");
}

void CMainDvr::UpdateSupercapVoltage()
{
    _supercap_voltage = SupercapVoltage();
}

int CMainDvr::SupercapVoltage()
{
    std::system("echo 3 > /sys/class/gpadc/data");
    FILE* file = std::fopen(GPADC_DATA, "r");
    if (file == nullptr)
        return 0;
    int voltage = 0;
    if (std::fscanf(file, "%d", &voltage) != 1)
        voltage = 0;
    std::fclose(file);
    return voltage;
}

void CMainDvr::OnShutdownTimer()
{
    unsigned long long batteryTime = _battery_time;
    std::printf("---------- SYSTEM SHUTDOWN ---------- battery_time=%llu\n", batteryTime);
    Log()->StopEmergency();
    std::system("umount /data");
    TurnOffLcd();

    // The last file closes on the capacitor's energy: split it before that runs out.
    uint64_t limit = Singleton<Pref>::Inst()->IsRearCameraOn() ? CLOSE_WAIT_WITH_REAR_MS : CLOSE_WAIT_FRONT_ONLY_MS;
    int voltage = SupercapVoltage();
    bool bySupercap = voltage < SUPERCAP_LOW;
    while (!bySupercap && SinceBatteryTime() < limit) {
        SleepMs(SUPERCAP_POLL_MS);
        voltage = SupercapVoltage();
        bySupercap = voltage < SUPERCAP_LOW;
    }
    BmWorks::Inst()->StopEmergency(_power_down_record_type);
    std::printf(bySupercap ? "########### split by supercap (time=%dms, voltage=%d)#########\n"
                           : "########### split by timeout  (time=%dms, voltage=%d)#########\n",
                static_cast<int>(SinceBatteryTime()), voltage);

    std::system("echo 0 >/sys/alsaee/power");
    while (SinceBatteryTime() <= POWER_HOLD_MS) {
        SleepMs(POWER_HOLD_PRINT_MS);
        std::printf("# battery_time=%llu, voltage=%d #\n", static_cast<unsigned long long>(SinceBatteryTime()),
                    SupercapVoltage());
    }
    bool batteryPlus = _battery_plus_down;
    std::printf("########## Exit : battery_time=%llu, voltage=%d, b+down=%d ###########\n",
                static_cast<unsigned long long>(SinceBatteryTime()), SupercapVoltage(), batteryPlus ? 1 : 0);
    if (batteryPlus) {
        std::system("echo 0x1001 > /sys/class/axp/axp_reg");
        sleep(AXP_POWER_OFF_WAIT_S);
        // Still running: the power chip did not cut the power. Powered down
        // through the launcher rather than left recording nothing.
    }
    std::system("touch /tmp/shutdown");
    _running = false;
    // The program's own threads end before it: the power-off commands are sent
    // whole, the others see the run end within their poll's time-out.
    if (_power_command_thread.joinable())
        _power_command_thread.join();
    if (_tt.joinable())
        _tt.join();
    Singleton<KeyboardOp>::Inst()->Finalize();
    EndProcess(0);
}

} // namespace vk
