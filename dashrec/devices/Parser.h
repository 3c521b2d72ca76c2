#pragma once
// The NMEA sentence parsers: each turns the fields of one sentence into the
// GPS state that vk::GPS keeps. They run on the GPS receive thread with the
// GPS lock held.

#include <cstddef>
#include <ctime>
#include <list>
#include <string>
#include <sys/time.h>
#include <vector>

namespace vk {

// One sentence split in place: `fields` point into `copy`; field 0 is the type.
struct FIELDS {
    char copy[256];
    std::vector<char*> fields;
};

// The fix handed out by vk::GPS::CopyData. Time fields are UTC.
struct gps_lock_data_t {
    bool available = false;
    int year = 2021;
    int month = 1;
    int day = 1;
    int hour = 0;
    int min = 0;
    int sec = 0;
    int speed = 0; // km/h
    double longitude = 0.0; // degrees, east positive
    double latitude = 0.0; // degrees, north positive
};

struct sat_data_t {
    bool active = false;
    int id = 0;
    int snr = 0; // dB-Hz
    time_t updatetime = 0;

    static bool compare(const sat_data_t& a, const sat_data_t& b) { return a.id < b.id; }
};

struct gps_data_t : gps_lock_data_t {
    timeval lastLockTime {};
    bool parseGSV = false; // a GSV arrived since the last satellite report
    bool sendMessageToApp = true;
    bool sendSatelliteInfo = false;
    std::list<sat_data_t> sats;
};

class Parser {
public:
    Parser(std::string name, size_t minNumberOfField)
        : _name(std::move(name))
        , _minNumberOfField(minNumberOfField)
    {
    }
    virtual ~Parser() = default;
    virtual void Process(gps_data_t& gps, FIELDS& message);

protected:
    std::string _name;
    size_t _minNumberOfField;
};

class ProcessRMC : public Parser {
public:
    ProcessRMC();
    ~ProcessRMC() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;

    static int GetHour(const char* field);
    static int GetMinute(const char* field);
    static int GetSecond(const char* field);
    static int GetDay(const char* field);
    static int GetMonth(const char* field);
    static int GetYear(const char* field);
    static double GetLatitude(const char* value, const char* dir);
    static double GetLongitude(const char* value, const char* dir);
    static int GetSpeed(const char* field);

private:
    static constexpr size_t MAX_TIME_LIST = 5;
    static constexpr time_t MAX_TIME_SPAN = 10;

    bool StoreFix(gps_data_t& gps, FIELDS& message);
    bool StoreDate(gps_data_t& gps, const char* time, const char* date);
    // False for a date the clock chip cannot hold, logged the first time.
    bool CanSetClock(const gps_data_t& gps);
    // True once the clock has been set from this stamp.
    bool CollectTime(const gps_data_t& gps);
    void SetClock(time_t t);

    bool _timeset = false;
    std::list<time_t> _timeList;
    bool _outOfRangeLogged = false;
};

class ProcessGSA : public Parser {
public:
    ProcessGSA();
    ~ProcessGSA() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;
    void SendSatData(gps_data_t& gps);
};

class ProcessGSV : public Parser {
public:
    ProcessGSV();
    ~ProcessGSV() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;
};

// Sentences the receiver knows by name and leaves alone.
class ProcessGGA : public Parser {
public:
    ProcessGGA();
    ~ProcessGGA() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;
};

class ProcessGLL : public Parser {
public:
    ProcessGLL();
    ~ProcessGLL() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;
};

class ProcessZDA : public Parser {
public:
    ProcessZDA();
    ~ProcessZDA() override = default;
    void Process(gps_data_t& gps, FIELDS& message) override;
};

} // namespace vk
