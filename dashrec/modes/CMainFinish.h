#pragma once
// The final inspection, chosen by "_finish.velmora" or, in its second variant,
// "_finish2.velmora" on the card: the factory test's items on the device's
// own touch screen, with a touch test of the four corners, tighter voltage
// limits and no automatic camera alternation. The second variant records the
// operator's voice instead of a tone, measures it and plays it back.

#include "dashrec/modes/ProductionTest.h"

namespace vk {

class CMainFinish : public Singleton<CMainFinish>, public ProductionTest {
public:
    // Component ids of page CMAIN_FINISH.
    enum Component {
        GPS_ITEM = 0,
        GPS_TIME = 1,
        GSENSOR_ITEM = 2,
        TOUCH_ITEM = 3,
        RTC_ITEM = 4,
        CLOCK = 5,
        MCU_ITEM = 6,
        ACC_ITEM = 7,
        TEMPERATURE = 8,
        VOLTAGE = 9,
        TOTAL_TIME = 10,
        MCU_VERSION = 11,
        SW_VERSION = 12,
        KEY_MENU = 13,
        KEY_DOWN = 14,
        KEY_UP = 15,
        KEY_OK = 16,
        VIEW = 17,
        EEPROM_ITEM = 18,
        STORAGE_ITEM = 19,
        REFERENCES = 20,
        MIC_ITEM = 21,
        LANGUAGE = 22,
        CORNER_TOP_LEFT = 30, // then top right, bottom left, bottom right
    };
    static constexpr int CORNERS = 4;

    CMainFinish();

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    bool IsTouched(int corner) const { return _touched[corner]; }

    bool _finish2_mode = false;

protected:
    void OnButton(ipc_msg_t& msg) override;
    void OnGps(ipc_msg_t& msg) override;
    void OnShutDown(ipc_msg_t& msg) override;

private:
    void Update() override;
    void ShowTouchItem();
    void OnDownKey();
    void OnTouch(int x, int y);
    // The recording of the microphone test, and its playback on the first OK.
    void SoundRecord();
    void SoundPlay();

    bool _touched[CORNERS] = {};
    bool _played = false;
    std::thread _player;
};

} // namespace vk
