#pragma once
// The factory test, chosen by "_factory.velmora" on the card: one 720 x 480
// page on the production line's composite monitor with a pass/fail item for
// each part of the device, the four keys to press, and both cameras' live
// view in turn.

#include "bmworks/BmTypes.h"
#include "dashrec/modes/ProductionTest.h"

namespace vk {

class CMainFactory : public Singleton<CMainFactory>, public ProductionTest {
public:
    static constexpr int REAR_VIEW_5_SEC = 5000;
    static constexpr int FRONT_VIEW_5_SEC = 5000;

    // Component ids of page CMAIN_FACTORY.
    enum Component {
        GPS_ITEM = 0,
        RTC_ITEM = 1,
        GSENSOR_ITEM = 2,
        WIFI_ITEM = 3,
        MCU_ITEM = 4,
        ACC_ITEM = 5,
        TEMPERATURE = 6,
        VOLTAGE = 7,
        GPS_TIME = 8,
        CLOCK = 9,
        VIEW = 10,
        TOTAL_TIME = 11,
        MCU_VERSION = 12,
        SW_VERSION = 13,
        KEY_MENU = 14,
        KEY_DOWN = 15,
        KEY_UP = 16,
        KEY_OK = 17,
        EEPROM_ITEM = 18,
        STORAGE_ITEM = 19,
        REFERENCES = 20,
        MIC_ITEM = 21,
        LANGUAGE = 22,
    };

    CMainFactory();

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    int GetCameraCount() const { return _cam_count; }

protected:
    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

private:
    void Update() override;
    void AlternateCameras();

    int _cam_count = 0;
};

} // namespace vk
