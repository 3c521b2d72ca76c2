#include "host/board/SensorSim.h"

#include "host/board/NmeaRoute.h"
#include "host/board/Sysfs.h"
#include "host/i2c/Mc3416.h"
#include "host/i2c/Zt2003s.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace board {

namespace {

const int TICK_MS = 10;
const int GPS_PERIOD_MS = 1000;
const int GPIO_TOUCH_IRQ = 229;
// The accelerometer at rest: gravity along its y axis, 64 counts a g.
const int COUNTS_PER_G = 64;
const int REST_Y = COUNTS_PER_G;
const int AXIS_MAX = 127;
// The panel's raw readings across the screen (the factory calibration box).
const int PANEL_START_X = 320;
const int PANEL_START_Y = 228;
const int PANEL_END_X = 3953;
const int PANEL_END_Y = 3881;
const int PANEL_PRESSURE = 300;

unsigned PanelReading(int pixel, int pixels, int start, int end)
{
    return static_cast<unsigned>(start + (pixel + 0.5) * (end - start) / pixels);
}

bool IsRmc(const std::string& line)
{
    return line.size() > 6 && line[0] == '$' && line.compare(3, 4, "RMC,") == 0;
}

} // namespace

SensorSim::~SensorSim()
{
    Stop();
}

bool SensorSim::Start()
{
    if (!_line.Bind(GPS_LINE) || !vk::host::mc3416::SetAxes(0, REST_Y, 0))
        return false;
    _running = true;
    _thread = std::thread(&SensorSim::Run, this);
    return true;
}

void SensorSim::Stop()
{
    _running = false;
    if (_thread.joinable())
        _thread.join();
    _line.Unbind();
}

void SensorSim::Apply(const SensorState& state)
{
    std::lock_guard<std::mutex> lock(_mutex);
    GpsState moving = _state.gps;
    _state = state;
    // The car has moved on from where the scenario last put it.
    if (state.gps.placed == moving.placed) {
        _state.gps.latitude = moving.latitude;
        _state.gps.longitude = moving.longitude;
    }
}

void SensorSim::Run()
{
    Clock::time_point nextGps = Clock::now();
    while (_running) {
        Clock::time_point now = Clock::now();
        PlayPulses(now);
        if (now >= nextGps) {
            SendGpsSecond();
            nextGps += std::chrono::milliseconds(GPS_PERIOD_MS);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(TICK_MS));
    }
}

void SensorSim::SendGpsSecond()
{
    std::string bytes;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (!_state.gps.replay.empty()) {
            bytes = NextReplayCycle();
        } else {
            bytes = RouteSentences(_state.gps, std::time(nullptr));
            AdvanceRoute(_state.gps, GPS_PERIOD_MS / 1000.0);
        }
    }
    if (!bytes.empty())
        _line.Write(bytes.data(), bytes.size());
}

// The lines of the log from one RMC up to the next: one cycle of the module.
// A log that has ended leaves the line silent.
std::string SensorSim::NextReplayCycle()
{
    if (_replayFile != _state.gps.replay) {
        _replayFile = _state.gps.replay;
        _replayLines.clear();
        _replayNext = 0;
        std::ifstream in(_replayFile, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.rfind("#", 0) != 0)
                _replayLines.push_back(line + "\r\n");
        }
    }
    std::string cycle;
    while (_replayNext < _replayLines.size()) {
        cycle += _replayLines[_replayNext++];
        if (_replayNext < _replayLines.size() && IsRmc(_replayLines[_replayNext]))
            break;
    }
    return cycle;
}

void SensorSim::PlayPulses(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (_state.shocks != _playedShocks) {
        _playedShocks = _state.shocks;
        // The jolt spread over the three axes, within what one signed byte holds.
        int each = std::min(AXIS_MAX, static_cast<int>(std::lround(_state.shockG * COUNTS_PER_G / std::sqrt(3.0))));
        vk::host::mc3416::SetAxes(each, REST_Y - each, each);
        _shockEnds = now + std::chrono::milliseconds(SHOCK_MS);
        _shaking = true;
    } else if (_shaking && now >= _shockEnds) {
        vk::host::mc3416::SetAxes(0, REST_Y, 0);
        _shaking = false;
    }
    if (_state.taps != _playedTaps) {
        _playedTaps = _state.taps;
        vk::host::zt2003s::SetReadings(PanelReading(_state.tapX, 480, PANEL_START_X, PANEL_END_X),
            PanelReading(_state.tapY, 320, PANEL_START_Y, PANEL_END_Y), PANEL_PRESSURE);
        WriteNode(GpioValuePath(GPIO_TOUCH_IRQ), "0");
        _tapEnds = now + std::chrono::milliseconds(TAP_MS);
        _touching = true;
    } else if (_touching && now >= _tapEnds) {
        WriteNode(GpioValuePath(GPIO_TOUCH_IRQ), "1");
        _touching = false;
    }
}

} // namespace board
