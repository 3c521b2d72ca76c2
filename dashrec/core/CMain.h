#pragma once
// Start-up: restores the parking-recovery state, brings up the log,
// preferences and sound, picks the run mode from the card's marker files and
// drives it to its end.

#include "dashrec/core/Singleton.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vk {

class CMain : public Singleton<CMain> {
public:
    class RearCamera {
    public:
        bool IsConnected();

    private:
        std::string _path;
    };

    static const std::string FACTORY_FILE;
    static const std::string VOLTAGE_FILE;
    static const std::string FINISH_FILE;
    static const std::string FINISH2_FILE;
    static const std::string WIRELESS_FILE;
    static const std::string FOCUS_FILE;
    static const std::string DEVELOPER_FILE;
    static const std::string SD_RECORD_FILE;
    static const std::string UNLOCK_MENU;

    void Start();
    void CheckParkingRecovery();
    bool IsParkingRecoveryMode() const { return _parkingRecoveryMode; }
    void ClearParkingRecovery() { _parkingRecoveryMode = false; }
    uint64_t GetPrevParkingDuration() const { return _prevParkingDuration; }
    void CheckRearCamera();
    void PrintCpuUsage();

    // The run mode that the card's markers select; the card must be mounted.
    static CMainHandler* SelectRunMode(const std::string& cardRoot);

private:
    bool _parkingRecoveryMode = false;
    std::shared_ptr<RearCamera> _rear;
    uint64_t _prevParkingDuration = 0;
};

} // namespace vk
