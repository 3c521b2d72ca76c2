#include "dashrec/devices/PollingGpio.h"

#include <ctime>
#include <unistd.h>

namespace vk {

namespace {

uint64_t MonotonicUs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

std::atomic<MonotonicClock> gClock { MonotonicUs };

} // namespace

uint64_t DetectorClockUs()
{
    return gClock.load()();
}

void SetDetectorClock(MonotonicClock clock)
{
    gClock = clock ? clock : MonotonicUs;
}

void PollingGpio::Init(uint64_t prevParkingDuration)
{
    _running = true;
    _acc = std::make_shared<AccDetect>(prevParkingDuration == 0);
    _temp = std::make_shared<TemperatureDetect>();
    _parkingBattery = std::make_shared<ParkingBatteryDetect>(prevParkingDuration);
    _powerKey = std::make_shared<PowerKeyDetect>();
}

void PollingGpio::Start()
{
    _t = std::thread(&PollingGpio::Run, this);
}

void PollingGpio::Finalize()
{
    _running = false;
    sleep(1);
    if (_t.joinable())
        _t.join();
}

uint64_t PollingGpio::GetParkingDuration()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _parkingBattery ? _parkingBattery->GetDuration() : 0;
}

void PollingGpio::Run()
{
    BatteryDetect batteryPlus;
    while (_running) {
        uint64_t before = DetectorClockUs();
        usleep(POLL_US);
        Poll(batteryPlus, static_cast<long>(DetectorClockUs() - before));
    }
}

void PollingGpio::Poll(BatteryDetect& batteryPlus, long elapsedUs)
{
    _acc->Update(elapsedUs);
    _temp->Update(elapsedUs);
    {
        // The main loop reads the parking duration while this updates it.
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        _parkingBattery->Update(elapsedUs);
    }
    batteryPlus.Update(elapsedUs);
    _powerKey->Update(elapsedUs);
    if (batteryPlus.SendKeys())
        for (const std::shared_ptr<GPIO_IN>& input : _gpio)
            input->Update(elapsedUs);
}

} // namespace vk
