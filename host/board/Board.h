#pragma once
// The car and the board for one run of the program: lays out the sysfs tree,
// holds the MCU's end of "/dev/ttyS1", plays the MCU, the B+ line, the
// sensors, the card slot and the cameras' scene along a scenario, and records
// what the program sends to the MCU.

#include "host/board/McuModel.h"
#include "host/board/Outside.h"
#include "host/board/PtyLine.h"
#include "host/board/Scenario.h"
#include "host/board/SensorSim.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace board {

class Board {
public:
    static constexpr const char* MCU_LINE = "/dev/ttyS1";
    static constexpr int STATUS_PERIOD_MS = 500;

    explicit Board(Scenario scenario);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Appends every frame the program sends, as DescribeFrame gives it, to this file.
    void RecordTo(const std::string& path) { _recordPath = path; }

    // Lays out sysfs, binds the MCU line and starts the timeline at time 0.
    bool Start();
    void Stop();

    std::vector<McuFrame> Received();
    // Waits until the program has sent a frame with this command.
    bool WaitForFrame(uint8_t cmd, int timeoutMs);
    // The program has asked for power-off: the MCU no longer reports.
    bool PoweredOff();
    // Waits until the scenario's last event has been played.
    bool WaitForEnd(int timeoutMs);

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void PlayDueEvents(Clock::time_point now);
    // An await at the head of the timeline: true once it is met (or given up).
    bool AwaitMet(const ScenarioEvent& event, Clock::time_point now);
    void ApplyToBoard();
    void ReadFromProgram();
    void Record(const McuFrame& frame);

    Scenario _scenario;
    size_t _nextEvent = 0;
    BoardState _state;
    PtyLine _line;
    McuModel _mcu;
    SensorSim _sensors;
    Outside _outside;
    std::string _recordPath;

    std::mutex _mutex;
    std::condition_variable _changed;
    std::vector<McuFrame> _received;
    bool _poweredOff = false;
    bool _ended = false;

    Clock::time_point _start; // the timeline's time 0, moved on by the time spent awaiting
    Clock::time_point _awaitSince; // while an await holds the timeline
    Clock::time_point _nextAwaitCheck;
    std::atomic<bool> _running { false };
    std::thread _thread;
};

} // namespace board
