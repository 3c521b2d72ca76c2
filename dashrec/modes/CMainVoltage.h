#pragma once
// The voltage calibration, chosen by "_offset.velmora" on the card: with the
// unit on a reference supply it waits, averages the MCU's supply A/D value
// over a number of samples 500 ms apart and stores the average as the 12 V
// or the 24 V reference. The display is off; the blue LED blinks while it
// works, both LEDs light and a sound plays when the reference is stored.

#include "dashrec/modes/ServiceMode.h"

#include <INIReader.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vk {

class CMainVoltage : public Singleton<CMainVoltage>, public ServiceMode {
public:
    static constexpr int SAMPLE_TIME = 500;
    static constexpr int BLINK_TIME = 500;
    static constexpr float REFERENCE_TOLERANCE_VOLTS = 2.0f;

    struct Settings {
        int waiting = 30; // seconds before the first sample
        int count = 5; // samples averaged

        // Each key read over the value already held; a value out of range keeps it.
        void Load(const INIReader& reader);
    };

    CMainVoltage();
    ~CMainVoltage() override;

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    const Settings& GetSettings() const { return _settings; }
    int GetSampleCount() const { return _samples; }

    // Up to 978 the 12 V reference, above it the 24 V one; true for 24 V.
    static bool WriteCalculateValue(uint16_t value);
    // A reference supply reads, with the default references, within 2 V of
    // its 12 V or 24 V; anything else is a silent MCU or the wrong supply.
    static bool IsPlausible(uint16_t average);

protected:
    void Dispatch(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnTimer(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

private:
    void LoadSettings();
    void InitBmworks();
    void TakeSample();
    void StoreAverage();
    // Keeps the stored references and shows the failure.
    void Refuse(uint16_t average);
    void Blink();
    void StopBlinking();

    std::thread _t;
    Settings _settings;
    int _sum = 0;
    int _samples = 0;
    std::mutex _blinkMutex;
    std::condition_variable _blinkStop;
    bool _blinking = false;
};

} // namespace vk
