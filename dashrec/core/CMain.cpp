#include "dashrec/core/CMain.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/modes/ServiceModes.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vk {

const std::string CMain::FACTORY_FILE = "_factory.velmora";
const std::string CMain::VOLTAGE_FILE = "_offset.velmora";
const std::string CMain::FINISH_FILE = "_finish.velmora";
const std::string CMain::FINISH2_FILE = "_finish2.velmora";
const std::string CMain::WIRELESS_FILE = "_wireless.velmora";
const std::string CMain::FOCUS_FILE = "_focus.velmora";
const std::string CMain::DEVELOPER_FILE = "_developer.velmora";
const std::string CMain::SD_RECORD_FILE = "_sdrecord.velmora";
const std::string CMain::UNLOCK_MENU = "GoldHarbor";

namespace {

const char* const PARKING_RECOVERY_FILE = "/tmp/pr";
const char* const CARD_ROOT = "/mnt/extsd/";
const char* const CAMERA_DETECT_NODE = "/sys/camdetect/detect";

CMainHandler* FinishMode(bool second)
{
    CMainFinish* mode = Singleton<CMainFinish>::Inst();
    mode->_finish2_mode = second;
    return mode;
}

struct RunModeMarker {
    const std::string& file;
    const char* banner;
    CMainHandler* (*select)();
};

// Tested in this order; the first marker that exists wins.
const RunModeMarker RUN_MODE_MARKERS[] = {
    { CMain::FACTORY_FILE, "\n========== factory mode ==========", [] () -> CMainHandler* { return Singleton<CMainFactory>::Inst(); } },
    { CMain::VOLTAGE_FILE, "\n========== voltage mode ==========", [] () -> CMainHandler* { return Singleton<CMainVoltage>::Inst(); } },
    { CMain::FINISH_FILE, "\n========== finish mode ==========", [] { return FinishMode(false); } },
    { CMain::FINISH2_FILE, "\n========== finish2 mode ==========", [] { return FinishMode(true); } },
    { CMain::WIRELESS_FILE, "\n========== wireless mode ==========", [] () -> CMainHandler* { return Singleton<CMainWiFi>::Inst(); } },
    { CMain::DEVELOPER_FILE, "\n========== developer mode ==========", [] () -> CMainHandler* { return Singleton<CMainDeveloper>::Inst(); } },
    { CMain::SD_RECORD_FILE, "\n========== sd record mode ==========", [] () -> CMainHandler* { return Singleton<CMainSDRecord>::Inst(); } },
};

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

void CMain::CheckParkingRecovery()
{
    _parkingRecoveryMode = false;
    FILE* file = std::fopen(PARKING_RECOVERY_FILE, "r");
    if (file == nullptr) {
        _prevParkingDuration = 0;
        std::printf("[CMain]No parking recovery mode\n");
        return;
    }
    unsigned long long duration = 0;
    // A marker without a readable number still resumes parking, with no time carried over.
    if (std::fscanf(file, "%llu", &duration) != 1)
        duration = 0;
    std::fclose(file);
    _prevParkingDuration = duration;
    _parkingRecoveryMode = true;
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "rm -rf %s", PARKING_RECOVERY_FILE);
    std::system(cmd);
    Singleton<SDDebug>::Inst()->Print("[CMain]parking recovery mode, prev:%" PRIu64 "\n", _prevParkingDuration);
}

CMainHandler* CMain::SelectRunMode(const std::string& cardRoot)
{
    for (const RunModeMarker& marker : RUN_MODE_MARKERS) {
        if (Exists(cardRoot + marker.file)) {
            std::printf("%s\n", marker.banner);
            return marker.select();
        }
    }
    if (Exists(cardRoot + UNLOCK_MENU)) {
        std::printf("\n========== Gold Harbor ==========\n");
        Singleton<Pref>::Inst()->SetForcedUnlock();
    }
    std::printf("\n========== dvr mode with card ==========\n");
    return Singleton<CMainDvr>::Inst();
}

void CMain::Start()
{
    CheckParkingRecovery();
    Singleton<SDDebug>::Inst()->Init();
    Singleton<Pref>::Inst()->Init();
    Singleton<Sound>::Inst()->Init();
    Singleton<Sound>::Inst()->SetUserVolume();
    _rear = std::make_shared<RearCamera>();

    CMainHandler* mode = nullptr;
    Storage* storage = Singleton<Storage>::Inst();
    if (!storage->IsSdCardInserted()) {
        std::printf("\n========== dvr mode NO CARD ==========\n");
        mode = Singleton<CMainDvr>::Inst();
    } else {
        char cmd[64];
        VK_FORMAT_COMMAND(cmd, "mount %s %s", storage->SdPartition().c_str(), CARD_ROOT);
        std::system(cmd); // a failed mount just leaves no marker to find
        mode = SelectRunMode(CARD_ROOT);
        VK_FORMAT_COMMAND(cmd, "umount %s", storage->SdPartition().c_str());
        std::system(cmd);
    }
    mode->Initialize(true);
    mode->Start();
    mode->Finalize();
}

bool CMain::RearCamera::IsConnected()
{
    int fd = open(CAMERA_DETECT_NODE, O_RDONLY);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[RearCamera]%s can't be opened\n", CAMERA_DETECT_NODE);
        return false;
    }
    char text[33] = {};
    ssize_t count = read(fd, text, 32);
    close(fd);
    if (count < 1) {
        Singleton<SDDebug>::Inst()->Print("[RearCamera]rear() failure\n");
        return false;
    }
    return std::atoi(text) != 0;
}

void CMain::CheckRearCamera()
{
    Pref* pref = Singleton<Pref>::Inst();
    if (_rear->IsConnected()) {
        std::printf("Rear ON\n");
        if (!pref->IsRearCameraOn()) {
            pref->SetRearCameraOn();
            std::printf("++++++++++ Rear camera connected ++++++++++\n");
            pref->Save();
        }
    } else {
        std::printf("Rear OFF\n");
        if (pref->IsRearCameraOn()) {
            pref->SetFrontView();
            pref->SetRearCameraOff();
            std::printf("---------- Rear camera disconnected ----------\n");
            pref->Save();
        }
    }
}

} // namespace vk
