#pragma once
// The checks of a production test page, shared by the factory test and the
// final inspection: limits from the mode's parameter file, one pass/fail item
// per part of the device (RTC, GPS fix and satellites, MCU version, software
// version, supply voltage, temperature, ACC, G-sensor, EEPROM, eMMC size,
// voltage references, microphone, keys), refreshed every 500 ms. A mode gives
// the component ids of its own page.

#include "bmworks/BmTypes.h"
#include "dashrec/modes/ServiceMode.h"

#include <INIReader.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vk {

class ProductionTest : public ServiceMode {
public:
    static constexpr int MAIN_UPDATE_TIME = 500;
    static constexpr int EEPROM_TEST_SIZE = 2048;
    static constexpr unsigned TEXT_OK = 0xFFFFFFFF;
    static constexpr unsigned TEXT_FAILED = 0xFFFF0000;

    // Set by the mode's loop and polled from other threads while it runs.
    struct STATUS {
        std::atomic<bool> rtc{false};
        std::atomic<bool> wifi{false};
        std::atomic<bool> micom{false}; // the MCU's version is the expected one
        std::atomic<bool> gpslock{false}; // a fix in time
        std::atomic<bool> keyMenu{false};
        std::atomic<bool> keyDown{false};
        std::atomic<bool> keyUp{false};
        std::atomic<bool> keyOk{false};
        std::atomic<bool> eeprom{false}; // read and written back
        std::atomic<bool> satlock{false}; // enough strong satellites in time
        std::atomic<bool> usb{false};
        void Print() const {}
    };

    // The limits, from section "settings" of the parameter file.
    struct Settings {
        int micom = 0;
        std::string version = "0.0.000-1";
        float gpslockTime = 60.0f;
        float minVoltage = 7.5f;
        float maxVoltage = 15.0f;
        int minTemperature = 0;
        int maxTemperature = 40;
        uint16_t minAd = 600;
        uint16_t maxAd = 700;
        uint16_t minAd24 = 1250;
        uint16_t maxAd24 = 1450;
        int satellite = 4;
        int snr = 30;
        int mic = 1000;

        // Each key read over the value already held.
        void Load(const INIReader& reader);
    };

    // A microphone test: a sound played while the microphone is recorded,
    // and the recording measured once it is done.
    struct AudioTest {
        const char* play; // run 500 ms after the recording starts
        const char* record;
        const char* file; // what `record` writes
        int measureAfterMs;
    };

    // Where a page shows each item; -1 for an item the page lacks.
    struct PageIds {
        int gps;
        int gpsTime;
        int rtc;
        int clock;
        int gsensor;
        int wifi;
        int mcu;
        int mcuVersion;
        int acc;
        int temperature;
        int voltage;
        int totalTime;
        int swVersion;
        int eeprom;
        int storage;
        int references;
        int mic;
        int language;
        int view; // focused while the rear camera is shown
        int keyOk;
        int keyMenu;
        int keyUp;
        int keyDown;
    };

    const STATUS& GetStatus() const { return _status; }
    const Settings& GetSettings() const { return _settings; }
    bool IsLoaded() const { return _loaded; }
    int GetTone() const { return _tone; }
    float GetFixTimer() const { return _start; }
    float GetTotalTime() const { return _total; }
    bool IsRearViewShown() const { return _rearView; }

protected:
    ProductionTest(WND::ID window, const char* tag, const PageIds& ids, const std::string& marker, const Settings& defaults);
    ~ProductionTest() override;

    // Reads the limits; a file that opens counts as loaded.
    void LoadSettings();
    // Reads the EEPROM and writes the same bytes back.
    void TestEeprom();
    // The texts bound, the RTC checked, the version read, the first update
    // shown and the 500 ms update started.
    void InitPage();
    // The MENU, UP and DOWN items hidden until pressed, then the page.
    void OnInit(ipc_msg_t& msg) override;
    // The 500 ms update and the tone test.
    void OnTimer(ipc_msg_t& msg) override;
    // The mode's own part of the 500 ms update.
    virtual void Update() = 0;
    // The services' Finalize in the modes' order, the touch sensor when it ran.
    void FinalizeServices(bool withTouch);
    // The fix timer, the total time and every item.
    void UpdateTimes();
    void UpdateStrings();
    void OnGps(ipc_msg_t& msg) override;
    // Plays the tone and records the microphone once per run.
    void ToneRecord();
    // Starts `test` once per run and arms its measurement.
    void StartAudioTest(const AudioTest& test);
    // The mean amplitude of one second of the recording, 1 s after its start.
    void ToneTest();
    // Waits for the tone test's shell commands.
    void JoinToneWorkers();

    // Security and red LEDs against the blue one, in turn.
    void AlternateLeds();
    // Shows and toggles a key's item; true when it is now focused.
    bool PressKey(int id);
    // The OK key: its item with the red and blue LEDs, then the other camera.
    void PressOk();
    void ShowView(bool rear);
    // Hides the video while the output changes, as the display would flicker.
    static void ShowCamera(VideoOutConfig config);

    // The parameter file's marker; the final inspection has two.
    void SetMarker(const std::string& marker) { _marker = marker; }
    static void SetPass(obj_common* item, bool pass);
    // Focused becomes normal and the other way round; true when now focused.
    static bool Toggle(obj_common* item);

    bool _loaded = false;
    float _start = 0; // seconds without a fix
    std::atomic<float> _total{0}; // polled, like the status and the tone
    STATUS _status;
    Settings _settings;
    std::unique_ptr<unsigned char[]> _readbuffer;
    char _gpstime[32] = {};
    char _systime[32] = {};
    char _volt[32] = {};
    char _temp[32] = {};
    char _micom[32] = {};
    char _totaltime[32] = {};
    char _mic[32] = {};
    char _advalue[64] = {};
    std::atomic<int> _tone{0};
    const std::string _wlan0 = "/proc/net/rtl8821cs/wlan0";
    int _mean = 0;

private:
    void BindText(int id, const char* text);
    void UpdateClock();
    void UpdateSupply();
    void UpdateMcu();
    void UpdateGps();
    void ShowReferences();
    void ShowStorage();

    const PageIds _ids;
    std::string _marker;
    bool _rearView = false; // the view the OK key last chose
    bool _toneStarted = false;
    const char* _toneFile = nullptr;
    std::thread _tonePlayer;
    std::thread _toneRecorder;
};

} // namespace vk
