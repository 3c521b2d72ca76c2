#pragma once
// The GPS receiver: reads NMEA sentences from the module's serial line one
// byte at a time on its own thread, drops what is malformed, hands each
// sentence of a registered type to its parser and to the speed-camera
// feature, and keeps the current fix for the other threads to copy out.

#include "dashrec/core/Singleton.h"
#include "dashrec/devices/NmeaFramer.h"
#include "dashrec/devices/Parser.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace vk {

class GPS : public Singleton<GPS> {
public:
    static constexpr int MAX_GPS_RAW = 200;
    // Sentences this long or longer (CR LF included) are refused.
    static constexpr int MAX_SENTENCE = 92;
    // Silent rounds of 100 ms before the fix is reported lost.
    static constexpr int NO_DATA_ROUNDS = 30;
    static const std::string RMC;
    static const std::string GGA;
    static const std::string GLL;
    static const std::string GSA;
    static const std::string GSV;
    static const std::string ZDA;
    static const std::string UART;

    // With `satellites` the GSA and GSV sentences are parsed too (service modes).
    void Init(bool satellites);
    void Start();
    void Finalize();

    void CopyData(gps_lock_data_t& data);
    // The receive thread reads these under the GPS lock as it parses.
    void SetSendSateliiteInfo();
    void SetDontSendSatelliteInfo();
    void DisableSendMeesageToApp();
    int GetSignalAvg() const { return _signalAvg; }
    int GetMinNSat() const { return _minNSat; }
    // The service modes test the mean of their own number of strongest satellites.
    void SetMinNSat(int count) { _minNSat = count; }
    // How many satellites the last mean took, at most GetMinNSat().
    int GetNSat() const { return _nSat; }
    // The satellite report's result: the mean SNR over the `nSat` strongest.
    void SetSignalAvg(int signalAvg, int nSat);
    // Waits without holding the GPS lock, which the caller holds once (a parser).
    void SleepUnlocked(int ms);

    // The receive thread's steps: one byte from the line, the no-data count
    // of every round, and the test and dispatch of one sentence ("$" to LF).
    void HandleByte(char c);
    void CountSilentRound();
    static bool IsDataValid(const char* data, int n);
    void Parse(const char* data, int n);

private:
    int Open();
    void Run();
    void ReportNoData();
    // Splits `_message.copy` in place; false when nothing is left to split.
    bool Split();
    void DumpMessage(const char*, int) {}

    std::atomic<int> _signalAvg { 0 };
    std::atomic<int> _nSat { 0 };
    std::atomic<int> _minNSat { 4 };
    int _gps_rx_count = 0;
    // The no-data report is made once per silence, not every round.
    bool _noDataReported = false;
    std::atomic<bool> _running { false };
    std::thread _t;
    NmeaFramer _framer { MAX_GPS_RAW };
    FIELDS _message {};
    gps_data_t _gpsData;
    std::map<std::string, std::shared_ptr<Parser>> _parser;
};

} // namespace vk
