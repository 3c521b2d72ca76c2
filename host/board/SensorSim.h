#pragma once
// The sensor half of the simulated board: the GPS module at the far end of
// "/dev/ttyS4" (a route or a captured log, one second of sentences a second),
// the accelerometer model (a shock is a short jolt, then rest) and the touch
// panel model (a tap presses the interrupt line for a moment).

#include "host/board/PtyLine.h"
#include "host/board/SensorState.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace board {

class SensorSim {
public:
    static constexpr const char* GPS_LINE = "/dev/ttyS4";
    static constexpr int SHOCK_MS = 100;
    static constexpr int TAP_MS = 150;

    SensorSim() = default;
    ~SensorSim();
    SensorSim(const SensorSim&) = delete;
    SensorSim& operator=(const SensorSim&) = delete;

    // Binds the GPS line, puts the accelerometer at rest and starts the clock.
    bool Start();
    void Stop();
    // The scenario's latest word on the sensors.
    void Apply(const SensorState& state);

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void SendGpsSecond();
    std::string NextReplayCycle();
    void PlayPulses(Clock::time_point now);

    PtyLine _line;
    std::mutex _mutex;
    SensorState _state;
    int _playedShocks = 0;
    int _playedTaps = 0;
    Clock::time_point _shockEnds {};
    Clock::time_point _tapEnds {};
    bool _shaking = false;
    bool _touching = false;
    std::string _replayFile;
    std::vector<std::string> _replayLines;
    size_t _replayNext = 0;
    std::atomic<bool> _running { false };
    std::thread _thread;
};

} // namespace board
