// The run mode's own timers: the medium check with card insertion and
// removal, the MCU watchdog, recording-file errors, the menu time-out and the
// end steps of reboot and exit.

#include "dashrec/dvr/CMainDvr.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/UITimer.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char DEF_PATH_EXTSD[] = "/mnt/extsd/";
const char EXTSD_SYSTEM[] = "/mnt/extsd/SYSTEM";
const int DUMMY_CARD_CHECKS = 5;
const int NO_SDCARD_IN_PARKING_MODE_MS = 60000;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

struct FileErrorRow {
    TIMER::ID timer;
    const char* unmounted; // printed when the medium is gone
    const char* logged;
    const char* name; // the kind, also the count file's name
};

const FileErrorRow FILE_ERRORS[] = {
    { TIMER::FILE_OPEN_FAILED, "FILE_OPEN_FAILED rose from unmount", "[CMainDvr]Timer:File Open Failed\n",
      "FileOpenFailed" },
    { TIMER::FILE_CLOSE_FAILED, "FILE_CLOSE_FAILED rose from unmount", "[CMainDvr]Timer:File Close Failed\n",
      "FileCloseFailed" },
    { TIMER::FILE_WRITE_FAILED, "FILE_WRITE_FAILED rose from unmount", "[CMainDvr]Timer:File Write Failed\n",
      "FileWriteFailed" },
};

// The count file of one error kind: one decimal number and a line feed.
void IncreaseCountFile(const char* name)
{
    char path[64];
    VK_FORMAT_COMMAND(path, "/data/app/%s", name);
    if (access(path, F_OK) != 0) {
        char cmd[80];
        VK_FORMAT_COMMAND(cmd, "touch %s", path);
        std::system(cmd);
    }
    int count = 0;
    if (FILE* file = std::fopen(path, "r")) {
        if (std::fscanf(file, "%d", &count) != 1)
            count = 0;
        std::fclose(file);
    }
    if (FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%d\n", count + 1);
        std::fclose(file);
    }
}

} // namespace

void CMainDvr::OnTimer(ipc_msg_t& msg)
{
    if (msg.wnd != WND::CMAIN_DVR) {
        if (msg.wnd == _currentWindow && _currentHandler)
            _currentHandler->OnMessage(msg);
        else
            Log()->Print("[CMainDvr]Ignore Timer - WND:%d, Timer:%d\n", msg.wnd, msg.param1);
        return;
    }
    struct TimerRow {
        TIMER::ID id;
        void (CMainDvr::*handle)();
    };
    static const TimerRow TIMERS[] = {
        { TIMER::PARKING_RECOVERY, &CMainDvr::OnParkingRecoveryTimer },
        { TIMER::CMAIN_DVR_SHOW_MENU, &CMainDvr::OnShowMenuTimer },
        { TIMER::CMAIN_CHECK_SDCARD, &CMainDvr::OnCheckSdCardTimer },
        { TIMER::CMAIN_RESET_WATCHDOG, &CMainDvr::OnResetWatchdogTimer },
        { TIMER::CMAIN_ENABLE_WATCHDOG, &CMainDvr::OnEnableWatchdogTimer },
        { TIMER::REBOOT, &CMainDvr::OnRebootTimer },
        { TIMER::SHUTDOWN, &CMainDvr::OnShutdownTimer },
        { TIMER::EXIT, &CMainDvr::OnExitTimer },
        { TIMER::NO_SDCARD_IN_PARKING_MODE, &CMainDvr::OnNoSdcardInParkingModeTimer },
        { TIMER::RESTART_PARKING_MODE, &CMainDvr::OnRestartParkingModeTimer },
    };
    for (const TimerRow& row : TIMERS) {
        if (row.id == msg.param1) {
            (this->*row.handle)();
            return;
        }
    }
    OnFileErrorTimer(msg.param1);
}

void CMainDvr::KillTimer(TIMER::ID id)
{
    Singleton<UITimer>::Inst()->Kill(WND::CMAIN_DVR, id);
}

void CMainDvr::CloseCurrentTo(WND::ID next, int param2)
{
    UIQueue::Inst()->SendMessage(_currentWindow, WM::CLOSE, next, param2);
}

void CMainDvr::OnShowMenuTimer()
{
    Log()->Print("[CMainDvr]TIMER::CMAIN_DVR_SHOW_MENU\n");
    if (_currentWindow != WND::DUMMY)
        CloseCurrentTo(WND::LIVEVIEW, 0);
}

void CMainDvr::OnCheckSdCardTimer()
{
    bool present = Singleton<Storage>::Inst()->DoesDeviceExist();
    if (present != _status.sdcard_on) {
        if (present)
            OnMediumInserted();
        else
            OnMediumRemoved();
    }
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed())
        CheckBackupCard();
    else
        CheckDummyCard(present);
    _status.sdcard_on = present;
    ArmTimer(TIMER::CMAIN_CHECK_SDCARD, CHECK_SDCARD_TIME_COUNT);
}

void CMainDvr::OnMediumInserted()
{
    for (const FileErrorRow& row : FILE_ERRORS)
        KillTimer(row.timer);
    Storage* storage = Singleton<Storage>::Inst();
    bool internal = Singleton<Pref>::Inst()->IsInternalStorageUsed();
    bool writable = storage->IsWritable();
    auto closeTo = [this](WND::ID next, const char* line) {
        std::printf("%s\n", line);
        CloseCurrentTo(next, _currentWindow);
    };
    if (storage->CheckDevice()) {
        if (writable) {
            Log()->CheckFiles();
            OnSDCard(true);
            UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::SD_CARD, 1, 0);
            std::printf("[CMainDvr]SD Card Inserted\n");
        } else if (!internal) {
            closeTo(WND::SD_WRITE_ERROR, "Change window to SD_WRITE_ERROR");
        }
        return;
    }
    if (writable && internal)
        closeTo(WND::FORCE_FORMAT, "Internal Memory - WND::FORCE_FORMAT");
    else if (writable && storage->IsInvalidFileSystem())
        closeTo(WND::SD_WRITE_ERROR, "Invalid FileSystem to SD_WRITE_ERROR");
    else if (writable)
        closeTo(WND::FORCE_FORMAT, "valid FileSystem to FORCE_FORMAT");
    else if (!internal)
        closeTo(WND::SD_WRITE_ERROR, "IsWritable() == false, Change window to SD_WRITE_ERROR");
}

void CMainDvr::OnMediumRemoved()
{
    OnSDCard(false);
    if (Singleton<Storage>::Inst()->IsSdCardDetected()) {
        CloseCurrentTo(WND::SD_WRITE_ERROR, 0);
        return;
    }
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::SD_CARD, 0, 0);
    Singleton<Sound>::Inst()->Play(Sound::insert_sd);
    std::printf("[CMainDvr]SD Card Removed\n");
}

// While the eMMC records, the card in the slot is a backup medium.
void CMainDvr::CheckBackupCard()
{
    int in = Singleton<SdCard>::Inst()->IsIn();
    if (in < 0 || (in == 1) == _backupCardIn)
        return;
    _backupCardIn = in == 1;
    Singleton<SdCard>::Inst()->SetFormatNeeded();
    std::printf(_backupCardIn ? "[CMainDvr] SD Card Insert...\n" : "[CMainDvr] SD Card Removed...\n");
    Singleton<Sound>::Inst()->Play(_backupCardIn ? Sound::connect_sd : Sound::disconnect_sd);
}

// A card that sits in the slot without a device for a while is a dummy card.
void CMainDvr::CheckDummyCard(bool present)
{
    if (present || !Singleton<Storage>::Inst()->IsSdCardDetected()) {
        _dummyCardCount = 0;
        return;
    }
    if (++_dummyCardCount < DUMMY_CARD_CHECKS || _currentWindow == WND::SD_WRITE_ERROR)
        return;
    std::printf("Dummy SD card detected:%d\n", _dummyCardCount);
    _dummyCardCount = 0;
    CloseCurrentTo(WND::SD_WRITE_ERROR, 0);
}

void CMainDvr::OnSDCard(bool on)
{
    _status.sdcard_on = on;
    if (on) {
        Singleton<FileLoop>::Inst()->Mount();
        Log()->Resume();
        LoadSpeedCamDB();
        std::printf("[CMainDvr]SD CARD ON\n");
        return;
    }
    Singleton<FileLoop>::Inst()->Unmount();
    Log()->Pause();
    std::printf("[CMainDvr]SD CARD OFF\n");
    if (IsParkingMode())
        SendTimerNoSdcardInParkingMode();
}

void CMainDvr::SendTimerNoSdcardInParkingMode()
{
    if (NO_SDCARD_IN_PARKING_MODE_send_flag)
        return;
    Log()->Print("NO_SDCARD_IN_PARKING_MODE... wait for 60 sec\n");
    NO_SDCARD_IN_PARKING_MODE_send_flag = true;
    ArmTimer(TIMER::NO_SDCARD_IN_PARKING_MODE, NO_SDCARD_IN_PARKING_MODE_MS);
}

void CMainDvr::OnNoSdcardInParkingModeTimer()
{
    if (IsParkingMode() && !Singleton<Storage>::Inst()->DoesDeviceExist()) {
        Log()->Print("NO_SDCARD_IN_PARKING_MODE... go to shutdown\n");
        PostShutdown(Micom::NORMAL_OFF_POWER);
    }
    NO_SDCARD_IN_PARKING_MODE_send_flag = false;
}

void CMainDvr::OnEnableWatchdogTimer()
{
    Micom* micom = Singleton<Micom>::Inst();
    if (!micom->IsPowerOn()) {
        ArmTimer(TIMER::CMAIN_ENABLE_WATCHDOG, WATCHDOG_ENABLE_TIMER_COUNT);
        return;
    }
    micom->SendWDTEnable();
    ArmTimer(TIMER::CMAIN_RESET_WATCHDOG, WATCHDOG_RESET_TIMER_COUNT);
    Log()->Print("[CMainDvr]Enable Watch dog\n");
}

void CMainDvr::OnResetWatchdogTimer()
{
    Singleton<Micom>::Inst()->SendWDTReset();
    ArmTimer(TIMER::CMAIN_RESET_WATCHDOG, WATCHDOG_RESET_TIMER_COUNT);
}

void CMainDvr::OnFileErrorTimer(int timer)
{
    for (const FileErrorRow& row : FILE_ERRORS) {
        if (row.timer != timer)
            continue;
        if (!IsMounted()) {
            // An error caused by a removed medium is not the medium's fault.
            std::printf("%s\n", row.unmounted);
            return;
        }
        Log()->Print("%s", row.logged);
        WriteErrorCount(row.name);
        return;
    }
}

void CMainDvr::WriteErrorCount(const char* name)
{
    std::system("ls /dev > /data/app/dev.ls");
    std::system("ls /mnt/extsd > /data/app/extsd.ls");
    const std::string& partition = Singleton<Storage>::Inst()->CurrentPartition();
    struct stat device {};
    struct stat sys {};
    if (stat(partition.c_str(), &device) != 0 || stat(EXTSD_SYSTEM, &sys) != 0) {
        Log()->Print("[CMainDvr]WriteErrorCount stat:%s error\n", partition.c_str());
        return;
    }
    if (!S_ISBLK(device.st_mode)) {
        std::printf("[CMainDvr]WriteErrorCount unknown\n");
        return;
    }
    if (!S_ISDIR(sys.st_mode)) {
        std::printf("[CMainDvr]WriteErrorCount S_IFDIR false\n");
        return;
    }
    IncreaseCountFile(name);
    if (++_fileErrorCount < FILE_ERROR_RETRY) {
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::RECORD_RESTART, 0, 0);
        return;
    }
    ApplyBootModeRule();
    usleep(100 * 1000);
    std::printf("============== WriteErrorCount & exit ==============\n");
    ExitToShell();
}

// The card's folders lie on another device than the folder that holds its
// mount point: something is mounted there.
bool CMainDvr::IsMounted()
{
    const std::string& partition = Singleton<Storage>::Inst()->CurrentPartition();
    struct stat device {};
    if (stat(partition.c_str(), &device) != 0) {
        Log()->Print("[CMainDvr]stat(%s, &device) error\n", partition.c_str());
        return false;
    }
    if (!S_ISBLK(device.st_mode)) {
        std::printf("[CMainDvr](device.st_mode & S_IFMT) != S_IFBLK\n");
        return false;
    }
    struct stat mount {};
    if (stat(EXTSD_SYSTEM, &mount) != 0) {
        std::printf("[CMainDvr]stat(sys.c_str(), &mount) error\n");
        return false;
    }
    struct stat parent {};
    if (stat((std::string(DEF_PATH_EXTSD) + "..").c_str(), &parent) != 0) {
        std::printf("[CMainDvr]stat(DEF_PATH_EXTSD, &parent) error\n");
        return false;
    }
    if (mount.st_dev == parent.st_dev) {
        std::printf("[CMainDvr]mount.st_dev == parent.st_dev\n");
        return false;
    }
    return true;
}

void CMainDvr::OnRebootTimer()
{
    Log()->Print("SYSTEM REBOOT\n");
    _running = false;
    ExitToShell();
}

void CMainDvr::OnExitTimer()
{
    Log()->Print("---------- SYSTEM EXIT ----------\n");
    std::system("touch /tmp/exit");
    _running = false;
}

} // namespace vk
