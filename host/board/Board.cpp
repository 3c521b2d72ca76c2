#include "host/board/Board.h"

#include "host/board/Sysfs.h"

#include "dashrec/devices/Micom.h"

#include <cstdio>
#include <fstream>

namespace board {

namespace {

const int POLL_MS = 10;
const auto AWAIT_CHECK_PERIOD = std::chrono::milliseconds(100);
// A run whose program never gets there goes on, so that its checks say what went wrong.
const double AWAIT_LIMIT_SEC = 180;

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

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
    PlayDueEvents(_start);
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
        PlayDueEvents(now);
        if (now >= nextStatus && !PoweredOff()) {
            McuModel::Bytes frames = McuModel::StatusFrames(_state);
            _line.Write(frames.data(), frames.size());
            nextStatus = now + std::chrono::milliseconds(STATUS_PERIOD_MS);
        }
    }
}

void Board::PlayDueEvents(Clock::time_point now)
{
    const std::vector<ScenarioEvent>& events = _scenario.Events();
    bool played = false;
    while (_nextEvent < events.size() && events[_nextEvent].atSec <= Seconds(now - _start)) {
        const ScenarioEvent& event = events[_nextEvent];
        if (event.until) {
            if (!AwaitMet(event, now))
                break;
            ++_nextEvent;
            continue;
        }
        ++_nextEvent;
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
        if (!_ended)
            std::fprintf(stderr, "[boardsim] scenario played\n");
        _ended = true;
        _changed.notify_all();
    }
}

bool Board::AwaitMet(const ScenarioEvent& event, Clock::time_point now)
{
    if (_awaitSince == Clock::time_point()) {
        _awaitSince = now;
        std::fprintf(stderr, "[boardsim] %s\n", event.text.c_str());
    }
    if (now < _nextAwaitCheck)
        return false;
    _nextAwaitCheck = now + AWAIT_CHECK_PERIOD;
    bool met = event.until();
    double waited = Seconds(now - _awaitSince);
    if (!met && waited < AWAIT_LIMIT_SEC)
        return false;
    if (met)
        std::fprintf(stderr, "[boardsim] met after %.1f s\n", waited);
    else
        std::fprintf(stderr, "[boardsim] not met in %.0f s: the timeline goes on\n", waited);
    // The timeline stood still while it waited.
    _start = now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(event.atSec));
    _awaitSince = Clock::time_point();
    return true;
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
