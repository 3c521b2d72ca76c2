#pragma once
// The three status LEDs of the recorder. The run mode and the windows set and
// clear bits of one state word; the LED thread turns it, every 250 ms, into a
// pattern per LED by a fixed priority and drives the outputs.

#include "dashrec/core/Singleton.h"
#include "dashrec/devices/Gpio.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace vk {

class LED : public Singleton<LED> {
public:
    enum STATE : uint32_t {
        FORMAT = 1,
        MENU = 2,
        ERROR = 4,
        EVENT_RECORDING = 8,
        PARKING_RECORDING = 16,
        MANUAL_RECORDING = 32,
        GPS_LOCK = 64,
        RECORDING = 128,
        PARKING_MODE = 256,
    };

    enum LED_STATE {
        LED_OFF = 0,
        LED_ON = 1,
        LED_BLINK = 2,
        LED_CROSS_BLINK = 3,
        LED_FAST_BLINK = 4,
    };

    static constexpr int GPIO_RED = 197;
    static constexpr int GPIO_BLUE = 196;
    static constexpr int GPIO_SECURITY = 195;

    void Init();
    void Start();
    void Finalize();

    void Set(uint32_t bits);
    void Clear(uint32_t bits);
    void ClearAll();
    void SetLedState();
    uint32_t State() const { return state; }

    // One step of the LED thread, after its 250 ms sleep.
    void Tick();

private:
    void Run();
    void WriteOutputs();

    uint32_t state = 0;
    uint32_t prev_state = 0;
    LED_STATE _red = LED_OFF;
    LED_STATE _blue = LED_OFF;
    LED_STATE _security = LED_OFF;
    std::shared_ptr<GPIO_OUT> _pLedRed;
    std::shared_ptr<GPIO_OUT> _pLedBlue;
    std::shared_ptr<GPIO_OUT> _pLedSecurity;
    bool _blink = false;
    bool _fastblink = false;
    int _count = 0;
    std::atomic<bool> _running { false };
    std::thread _t;
};

} // namespace vk
