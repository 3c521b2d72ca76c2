#pragma once
// The normal run mode: the recorder. Until the recorder is built this is its
// frame only: the bus, the UI timers and a main loop that ends on EXIT.

#include "dashrec/core/Singleton.h"
#include "dashrec/core/ipc.h"

#include <string>

namespace vk {

class CMainDvr : public Singleton<CMainDvr>, public CMainHandler {
public:
    static const std::string PATH_HOSTAPD_CONF;
    static const int MAIN_LOOP_RECEIVE_MS = 100;
    static const int MENU_SHOW_TIME_COUNTER = 30000;

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    [[noreturn]] void ExitToShell();
    // Re-arms the time-out that returns from the menus to the live view.
    void ResumeShowMenuTimer();
    bool IsParkingMode() const { return _statusMode == PARKING; }
    void SetNormalMode() { _statusMode = NORMAL; }
    void SetParkingMode() { _statusMode = PARKING; }
    bool IsConnectedToUSB() const { return false; }
    void UpdateSupercapVoltage() {}
    void BatteryPlusDownSequence() {}

private:
    enum StatusMode { NORMAL = 0, PARKING = 1, RESTART = 2 };

    // Returns false when the loop must end.
    bool OnMessage(const ipc_msg_t& msg);

    StatusMode _statusMode = NORMAL;
};

} // namespace vk
