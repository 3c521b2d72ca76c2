// The detectors of the polling thread. Each is updated every poll with the
// microseconds since the previous one and posts its events to the bus.

#include "dashrec/devices/PollingGpio.h"

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vk {

namespace {

const long SAMPLE_US = 1000000;
const char* const GPIO_DIR = "/sys/class/gpio";
const std::string PLUS_LINE(82, '+');

void Post(int cmd, int param1)
{
    UIQueue::Inst()->SendMessage(WND::ANY, cmd, param1, 0);
}

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

Micom* Mcu()
{
    return Singleton<Micom>::Inst();
}

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

bool IsParking()
{
    return Singleton<CMainDvr>::Inst()->IsParkingMode();
}

uint64_t ClockSec()
{
    return DetectorClockUs() / 1000000u;
}

template <typename T, size_t N, typename Test>
bool AllOf(const std::array<T, N>& records, Test test)
{
    return std::all_of(records.begin(), records.end(), test);
}

} // namespace

// Half-second reads of the MCU's ACC bit: on after 5 in a row, off after 21
// in a row, and off only while B+ is present.
void AccDetect::Update(long elapsedUs)
{
    _deltaTime += elapsedUs;
    if (_deltaTime < PERIOD_US)
        return;
    _deltaTime = 0;
    bool acc = Mcu()->GetACCStatus();
    if (acc == _accStatus) {
        _accCheckCount = 0;
        return;
    }
    ++_accCheckCount;
    if (_accStatus && _accCheckCount >= OFF_READS && Prefs()->GetPowerStatus()) {
        _accStatus = false;
        _accCheckCount = 0;
        Log()->Print("[AccDetect]ACC OFF\n");
        Post(WM::ACC, PARAM1::ACC_OFF);
    }
    else if (!_accStatus && _accCheckCount >= ON_READS) {
        _accStatus = true;
        _accCheckCount = 0;
        Log()->Print("[AccDetect]ACC ON\n");
        Post(WM::ACC, PARAM1::ACC_ON);
    }
}

// Five one-second samples at or above the limit while parked.
void TemperatureDetect::Update(long elapsedUs)
{
    if (!IsParking())
        return;
    _deltaTime += elapsedUs;
    float limit = Prefs()->GetTemperatureValue();
    if (_deltaTime > SAMPLE_US) {
        _records[_savePoint] = Mcu()->GetTemperature();
        _savePoint = (_savePoint + 1) % _records.size();
        _deltaTime = 0;
    }
    if (!AllOf(_records, [limit](float c) { return c >= limit; }))
        return;
    Log()->Print("Overheated (%.1f, %.1f, %.1f, %.1f, %.1f)\n", _records[0], _records[1], _records[2], _records[3],
                 _records[4]);
    // A further report needs five new samples.
    _records.fill(0.0f);
    Post(WM::SHUTDOWN, Micom::CUT_OFF_TEMPERATURE);
}

// The first samples read 36 V, so the cut-off cannot fire in the first 15 s.
ParkingBatteryDetect::ParkingBatteryDetect(uint64_t prevDuration) : _prevDuration(prevDuration)
{
    _records.fill(36.0f);
}

void ParkingBatteryDetect::Update(long elapsedUs)
{
    if (!IsParking() || sentPowerOffMessage) {
        parkingStartTimeSec = 0;
        return;
    }
    if (parkingStartTimeSec == 0)
        parkingStartTimeSec = ClockSec();
    _deltaTime += elapsedUs;
    if (_deltaTime <= SAMPLE_US)
        return;
    Sample();
    CheckBattery();
    CheckTimer();
}

void ParkingBatteryDetect::Sample()
{
    float limit = Prefs()->GetVoltageValue();
    _logtime = (_logtime + 1) % 60;
    float volts = Mcu()->GetVoltage();
    _records[_savePoint] = volts;
    if (_logtime == 0)
        Log()->Print("Parking Battery:%.1f, current:%.1f\n", limit, volts);
    _savePoint = (_savePoint + 1) % _records.size();
    _deltaTime = 0;
}

// Fifteen one-second samples in a row at or below the cut-off voltage.
void ParkingBatteryDetect::CheckBattery()
{
    float limit = Prefs()->GetVoltageValue();
    if (_records[_savePoint] <= limit)
        Log()->Print("[under cutoff-Voltage]_savePoint:%d, _records:%.1f\n", static_cast<int>(_savePoint),
                     _records[_savePoint]);
    if (!AllOf(_records, [limit](float v) { return v <= limit; }))
        return;
    Log()->Print("%s\n", PLUS_LINE.c_str());
    Log()->Print("Parking Battery (%.1f, %.1f, %.1f, %.1f, %.1f, limit=%.1f)\n", _records[0], _records[1],
                 _records[2], _records[3], _records[4], limit);
    Log()->Print("%s\n", PLUS_LINE.c_str());
    Post(WM::SHUTDOWN, Micom::CUT_OFF_POWER);
    sentPowerOffMessage = true;
}

// Parking time counts across restarts through the carried-over duration.
void ParkingBatteryDetect::CheckTimer()
{
    uint64_t now = ClockSec();
    uint64_t limit = static_cast<uint64_t>(Prefs()->GetOffTimerValue());
    _duration = _prevDuration + (now - parkingStartTimeSec);
    if (_logtime == 0)
        Log()->Print("Parking Timer - start:%llu, now:%llu, prev:%llu, duration:%llu, timer:%llu\n",
                     static_cast<unsigned long long>(parkingStartTimeSec), static_cast<unsigned long long>(now),
                     static_cast<unsigned long long>(_prevDuration), static_cast<unsigned long long>(_duration),
                     static_cast<unsigned long long>(limit));
    if (_duration < limit || sentPowerOffMessage)
        return;
    Log()->Print("%s\n", PLUS_LINE.c_str());
    Log()->Print("Parking Timer ends - start:%llu, end:%llu, duration:%llu\n",
                 static_cast<unsigned long long>(parkingStartTimeSec), static_cast<unsigned long long>(now),
                 static_cast<unsigned long long>(_duration));
    Log()->Print("%s\n", PLUS_LINE.c_str());
    Post(WM::SHUTDOWN, Micom::CUT_OFF_TIME);
    sentPowerOffMessage = true;
    Singleton<Sound>::Inst()->Play(Sound::power_off);
}

// A press reports once at its start (at most once a second); a hold of five
// one-second samples asks for shutdown once.
void PowerKeyDetect::Update(long elapsedUs)
{
    _deltaTime += elapsedUs;
    _coolTime += elapsedUs;
    bool down = Mcu()->GetPowerKeyStatus();
    bool wasDown = _records[(_savePoint + _records.size() - 1) % _records.size()];
    if (down && _coolTime > SAMPLE_US && !wasDown) {
        std::puts("---------- Short PowerKey Down ----------");
        Post(WM::BUTTON, PARAM1::KEY_POWER);
        _coolTime = 0;
    }
    if (_deltaTime < SAMPLE_US)
        return;
    _records[_savePoint] = down;
    _savePoint = (_savePoint + 1) % _records.size();
    _deltaTime = 0;
    if (_messageSent || !AllOf(_records, [](bool d) { return d; }))
        return;
    _messageSent = true;
    Log()->Print("++++++++++ PowerKey Down ++++++++++\n");
    std::puts("+++++++++++++++++++++++++++++++++++");
    std::puts("++++++++++ PowerKey Down ++++++++++");
    std::puts("+++++++++++++++++++++++++++++++++++");
    Post(WM::SHUTDOWN, Micom::POWER_KEY);
    Singleton<Sound>::Inst()->Play(Sound::power_off);
}

BatteryDetect::BatteryDetect() : GPIO_IN(GPIO, GPIO_DIR)
{
}

// Acted on after five polls in a row without B+ (about 100 ms), and only once
// the supply had been present since start. A read that failed tells nothing
// about the supply and is skipped: a missing node must not power the car's
// recorder down.
void BatteryDetect::Update(long)
{
    int value = GetValue();
    if (value < 0)
        return;
    if (value == 0) {
        if (_bcount % 100 == 0)
            Singleton<CMainDvr>::Inst()->UpdateSupercapVoltage();
        ++_bcount;
    }
    _records[_savePoint] = value;
    _savePoint = (_savePoint + 1) % _records.size();
    bool lost = AllOf(_records, [](int v) { return v != 0; });
    Prefs()->SetPowerStatus(!lost);
    if (lost)
        OnLost();
    else
        OnPresent();
}

void BatteryDetect::OnLost()
{
    CMainDvr* recorder = Singleton<CMainDvr>::Inst();
    if (!Prefs()->HadTurnedOn() || recorder->IsConnectedToUSB() || _messageSent)
        return;
    _messageSent = true;
    recorder->BatteryPlusDownSequence();
    Log()->Print("++++++++++ Battery+ Down ++++++++++\n");
    Post(WM::SHUTDOWN, Micom::NORMAL_OFF_POWER);
}

void BatteryDetect::OnPresent()
{
    if (_turnon_count < 5)
        ++_turnon_count;
    else if (_turnon_count == 5) {
        Prefs()->TurnOnPower();
        ++_turnon_count;
    }
}

} // namespace vk
