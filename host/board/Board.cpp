#include "host/board/Board.h"

#include "host/board/Sysfs.h"

#include "dashrec/devices/Micom.h"

#include <cstdio>
#include <fstream>

namespace board {

namespace {

const int POLL_MS = 10;

} // namespace

Board::Board(Scenario scenario) : _scenario(std::move(scenario))
{
}

Board::~Board()
{
    Stop();
}

bool Board::Start()
{
    if (!LayOutSysfs() || !_line.Bind(MCU_LINE) || !_sensors.Start())
        return false;
    _outside.Start(_state);
    // What holds from the start is in place before the program starts.
    _start = Clock::now();
    PlayDueEvents(0);
    _running = true;
    _thread = std::thread(&Board::Run, this);
    return true;
}

void Board::Stop()
{
    _running = false;
    if (_thread.joinable())
        _thread.join();
    _sensors.Stop();
    _line.Unbind();
}

void Board::Run()
{
    Clock::time_point nextStatus = _start;
    while (_running) {
        ReadFromProgram();
        Clock::time_point now = Clock::now();
        PlayDueEvents(std::chrono::duration<double>(now - _start).count());
        if (now >= nextStatus && !PoweredOff()) {
            McuModel::Bytes frames = McuModel::StatusFrames(_state);
            _line.Write(frames.data(), frames.size());
            nextStatus = now + std::chrono::milliseconds(STATUS_PERIOD_MS);
        }
    }
}

void Board::PlayDueEvents(double elapsedSec)
{
    const std::vector<ScenarioEvent>& events = _scenario.Events();
    bool played = false;
    while (_nextEvent < events.size() && events[_nextEvent].atSec <= elapsedSec) {
        const ScenarioEvent& event = events[_nextEvent++];
        std::fprintf(stderr, "[boardsim] %s\n", event.text.c_str());
        event.apply(_state);
        played = true;
    }
    if (played) {
        ApplyToBoard();
        // The MCU reports a change at once, not at its next period.
        if (!PoweredOff()) {
            McuModel::Bytes frames = McuModel::StatusFrames(_state);
            _line.Write(frames.data(), frames.size());
        }
    }
    if (_nextEvent == events.size()) {
        std::lock_guard<std::mutex> lock(_mutex);
        _ended = true;
        _changed.notify_all();
    }
}

void Board::ApplyToBoard()
{
    WriteNode(GpioValuePath(GPIO_BATTERY_PLUS), _state.supply ? "0" : "1");
    _sensors.Apply(_state.sensors);
    _outside.Apply(_state);
}

void Board::ReadFromProgram()
{
    uint8_t bytes[64];
    ssize_t count = _line.Read(bytes, sizeof(bytes), POLL_MS);
    if (count <= 0)
        return;
    std::vector<McuFrame> frames;
    _mcu.Receive(bytes, static_cast<size_t>(count), frames);
    for (const McuFrame& frame : frames) {
        Record(frame);
        if (frame.cmd == vk::Micom::CPU_CMD_START) {
            McuModel::Bytes info = McuModel::InfoFrame(_state.acc);
            _line.Write(info.data(), info.size());
        }
    }
}

void Board::Record(const McuFrame& frame)
{
    if (!_recordPath.empty())
        std::ofstream(_recordPath, std::ios::app) << DescribeFrame(frame) << "\n";
    std::lock_guard<std::mutex> lock(_mutex);
    _received.push_back(frame);
    if (frame.cmd == vk::Micom::CPU_CMD_POWER_OFF)
        _poweredOff = true;
    _changed.notify_all();
}

std::vector<McuFrame> Board::Received()
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _received;
}

bool Board::WaitForFrame(uint8_t cmd, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(_mutex);
    return _changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this, cmd] {
        for (const McuFrame& frame : _received)
            if (frame.cmd == cmd)
                return true;
        return false;
    });
}

bool Board::PoweredOff()
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _poweredOff;
}

bool Board::WaitForEnd(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(_mutex);
    return _changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return _ended; });
}

} // namespace board
