#include "dashrec/modes/CMainVoltage.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/Shell.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/modes/IniValue.h"
#include "dashrec/ui/UITimer.h"

#include <INIReader.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vk {

namespace {

const int UI_TIMER_TICK_MS = 10;
const char* const CALIBRATION_DONE = "aplay /app/kvo/rsc/sound/S_calib_done.wav";
// The display stays dark: backlight, then the panel's power.
const char* const DISPLAY_OFF[] = {
    "echo 4 > /sys/class/backlight/lcd0/bl_power",
    "echo 0 > /sys/st7789v/st7789v_power",
};

struct KeyName {
    int key;
    const char* line;
};
const KeyName KEY_NAMES[] = {
    { PARAM1::KEY_UP, "CMainVoltage::OnButton() KEY_UP" },
    { PARAM1::KEY_DOWN, "CMainVoltage::OnButton() KEY_DOWN" },
    { PARAM1::KEY_OK, "CMainVoltage::OnButton() KEY_OK" },
    { PARAM1::KEY_MENU, "CMainVoltage::OnButton() KEY_MENU" },
};

} // namespace

CMainVoltage::CMainVoltage()
    : ServiceMode(WND::CMAIN_VOLTAGE, "CMainVoltage")
{
}

CMainVoltage::~CMainVoltage()
{
    StopBlinking();
}

void CMainVoltage::Initialize(bool)
{
    Singleton<UITimer>::Inst()->Init(UI_TIMER_TICK_MS);
    UIQueue::Inst()->Init();
    Singleton<KeyboardOp>::Inst()->Init();
    MakeLeds(false);
    _blinking = true;
    _t = std::thread(&CMainVoltage::Blink, this);
}

void CMainVoltage::Blink()
{
    std::unique_lock<std::mutex> lock(_blinkMutex);
    for (bool on = false; !_blinkStop.wait_for(lock, std::chrono::milliseconds(BLINK_TIME), [this] { return !_blinking; });
         on = !on) {
        if (on)
            _pLedBlue->SetOn();
        else
            _pLedBlue->SetOff();
    }
}

void CMainVoltage::StopBlinking()
{
    {
        std::lock_guard<std::mutex> lock(_blinkMutex);
        _blinking = false;
    }
    _blinkStop.notify_all();
    if (_t.joinable())
        _t.join();
}

void CMainVoltage::Start()
{
    MountCard();
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<Micom>::Inst()->Start();
    LoadSettings();
    InitBmworks();
    PostInit();
    DisableWatchdogAfterStart();
    _running = true;
    RunLoop();
    std::printf("MSG::SYS::SHUTDOWN\n");
    std::printf("=================== END ===================\n");
}

void CMainVoltage::Finalize()
{
    StopBlinking();
    Singleton<UITimer>::Inst()->Finalize();
    UIQueue::Inst()->Finalize();
    Singleton<KeyboardOp>::Inst()->Finalize();
}

void CMainVoltage::Settings::Load(const INIReader& reader)
{
    // The wait becomes a timer in milliseconds.
    waiting = static_cast<int>(IniInteger(reader, "settings", "waiting", waiting, 0, INT_MAX / 1000));
    count = static_cast<int>(IniInteger(reader, "settings", "count", count, INT_MIN, INT_MAX));
}

void CMainVoltage::LoadSettings()
{
    INIReader reader(ParameterFile(CMain::VOLTAGE_FILE));
    if (reader.ParseError() >= 0)
        _settings.Load(reader);
    std::printf("_settings.waiting:%d, _settings.count:%d\n", _settings.waiting, _settings.count);
    // An average of no sample is no reference: the default count is taken,
    // and the red LED tells the line its parameter file is wrong.
    if (_settings.count < 1) {
        _settings.count = Settings().count;
        std::printf("[CMainVoltage]count below 1, %d samples taken\n", _settings.count);
        _pLedRed->SetOn();
    }
}

void CMainVoltage::InitBmworks()
{
    ServiceMode::InitBmworks(VOLTAGE_VIEW);
    BmWorks* engine = BmWorks::Inst();
    engine->SetModSensivity(Singleton<Pref>::Inst()->GetMotionSensitivityValue());
    engine->RunMotionDetect();
    for (const char* line : DISPLAY_OFF) {
        char cmd[128];
        VK_FORMAT_COMMAND(cmd, "%s", line);
        std::system(cmd);
    }
}

// Only INIT, TIMER and BUTTON are handled; EXIT ends the loop, and a
// SHUTDOWN does not power the bench unit off.
void CMainVoltage::Dispatch(ipc_msg_t& msg)
{
    std::printf("msg.cmd:%d\n", msg.cmd);
    switch (msg.cmd) {
    case WM::INIT:
    case WM::TIMER:
    case WM::BUTTON:
        ServiceMode::Dispatch(msg);
        break;
    case WM::EXIT:
        _running = false;
        break;
    default:
        break;
    }
}

void CMainVoltage::OnInit(ipc_msg_t&)
{
    std::printf("CMainVoltage::OnInit()\n");
    SetTimer(TIMER::CVOLTAGE_WAITING_TIME, _settings.waiting * 1000);
}

void CMainVoltage::OnTimer(ipc_msg_t& msg)
{
    if (msg.wnd != GetWindowId()) {
        std::printf("[CMainVoltage]:Invalid Timer:Menu ID:%d, Timer ID:%d\n", msg.wnd, msg.param1);
        return;
    }
    switch (msg.param1) {
    case TIMER::CVOLTAGE_WAITING_TIME:
        SetTimer(TIMER::CVOLTAGE_CALIBRATION, SAMPLE_TIME);
        break;
    case TIMER::CVOLTAGE_CALIBRATION:
        if (_samples < _settings.count)
            TakeSample();
        else
            StoreAverage();
        break;
    default:
        break;
    }
}

void CMainVoltage::TakeSample()
{
    uint16_t sample = Singleton<Micom>::Inst()->GetVoltageADValue();
    _sum += sample;
    ++_samples;
    SetTimer(TIMER::CVOLTAGE_CALIBRATION, SAMPLE_TIME);
    std::printf("[%d]Micom Voltage A/D Value = 0x%04X [%d]\r\n", _samples, sample, sample);
}

void CMainVoltage::StoreAverage()
{
    uint16_t average = static_cast<uint16_t>(_sum / _samples);
    if (!IsPlausible(average)) {
        Refuse(average);
        return;
    }
    bool truck = WriteCalculateValue(average);
    _pLedRed->SetOn();
    _pLedBlue->SetOn();
    std::printf(truck ? "counter:%d, 24-Volt Write Average value = 0x%04X [%d]\r\n"
                      : "counter:%d, 12-Volt Write Average value = 0x%04X [%d]\r\n",
        _samples, average, average);
    std::system(CALIBRATION_DONE);
}

bool CMainVoltage::IsPlausible(uint16_t average)
{
    float nominal = average > Micom::TRUCK_AD_ABOVE ? 24.0f : 12.0f;
    float volts = Micom::VoltageFromAD(average, Micom::DEFAULT_REF_12V, Micom::DEFAULT_REF_24V);
    return std::fabs(volts - nominal) <= REFERENCE_TOLERANCE_VOLTS;
}

void CMainVoltage::Refuse(uint16_t average)
{
    // Red alone and steady, no sound: unlike the end of a calibration, where blue goes on blinking.
    StopBlinking();
    _pLedBlue->SetOff();
    _pLedRed->SetOn();
    std::printf("counter:%d, Average value = 0x%04X [%d] is no reference, nothing written\r\n", _samples, average,
        average);
}

bool CMainVoltage::WriteCalculateValue(uint16_t value)
{
    Pref* pref = Singleton<Pref>::Inst();
    if (value <= Micom::TRUCK_AD_ABOVE) {
        pref->SetRef12VoltValue(value);
        return false;
    }
    pref->SetRef24VoltValue(value);
    return true;
}

void CMainVoltage::OnButton(ipc_msg_t& msg)
{
    for (const KeyName& key : KEY_NAMES)
        if (key.key == msg.param1)
            std::printf("%s\n", key.line);
}

} // namespace vk
