#pragma once
// The power detectors: one polling thread wakes every 20 ms and feeds the
// measured time to detectors that turn the MCU status and the B+ input into
// the power events of the system (ACC on and off, the parking power-off
// limits, the power key, the loss of B+). Each event is one message to ANY on
// the bus; the run mode decides what to do with it.

#include "dashrec/core/Singleton.h"
#include "dashrec/devices/Gpio.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vk {

// The detectors' monotonic time in microseconds. Setting the date (GPS, phone,
// menu) must neither fire nor suppress a power-off, so they never read the
// wall clock. A test may put a clock of its own in its place (null restores).
using MonotonicClock = uint64_t (*)();
uint64_t DetectorClockUs();
void SetDetectorClock(MonotonicClock clock);

class AccDetect {
public:
    static constexpr long PERIOD_US = 500000;
    static constexpr uint32_t ON_READS = 5;
    static constexpr uint32_t OFF_READS = 21;

    explicit AccDetect(bool on) : _accStatus(on) {}
    void Update(long elapsedUs);

private:
    bool _accStatus;
    long _deltaTime = 0;
    uint32_t _accCheckCount = 0;
};

class TemperatureDetect {
public:
    void Update(long elapsedUs);

private:
    size_t _savePoint = 0;
    long _deltaTime = 0;
    std::array<float, 5> _records {};
};

class ParkingBatteryDetect {
public:
    explicit ParkingBatteryDetect(uint64_t prevDuration);
    void Update(long elapsedUs);
    uint64_t GetDuration() const { return _duration; }

private:
    void Sample();
    void CheckBattery();
    void CheckTimer();

    int _logtime = 0;
    bool sentPowerOffMessage = false;
    uint64_t parkingStartTimeSec = 0;
    size_t _savePoint = 0;
    long _deltaTime = 0;
    uint64_t _duration = 0;
    uint64_t _prevDuration;
    std::array<float, 15> _records;
};

class PowerKeyDetect {
public:
    void Update(long elapsedUs);

private:
    bool _messageSent = false;
    size_t _savePoint = 0;
    long _deltaTime = 0;
    std::array<bool, 5> _records {};
    // 64 bits: it grows for as long as the key is not pressed, past what a
    // 32-bit long holds in microseconds.
    int64_t _coolTime = 0;
};

// The permanent supply (B+): 0 present, 1 lost.
class BatteryDetect : public GPIO_IN {
public:
    static constexpr int GPIO = 365;

    BatteryDetect();
    void Update(long elapsedUs) override;
    bool SendKeys() const { return !_messageSent; }

private:
    void OnLost();
    void OnPresent();

    int _bcount = 0;
    int _turnon_count = 0;
    bool _messageSent = false;
    size_t _savePoint = 0;
    std::array<int, 5> _records { 0, 1, 0, 1, 0 };
};

class PollingGpio : public Singleton<PollingGpio> {
public:
    static constexpr useconds_t POLL_US = 20000;

    void Init(uint64_t prevParkingDuration);
    void Start();
    void Finalize();
    uint64_t GetParkingDuration();

private:
    void Run();
    void Poll(BatteryDetect& batteryPlus, long elapsedUs);

    std::atomic<bool> _running { false };
    std::thread _t;
    std::shared_ptr<AccDetect> _acc;
    std::shared_ptr<TemperatureDetect> _temp;
    std::shared_ptr<ParkingBatteryDetect> _parkingBattery;
    std::vector<std::shared_ptr<GPIO_IN>> _gpio;
    std::shared_ptr<PowerKeyDetect> _powerKey;
};

} // namespace vk
