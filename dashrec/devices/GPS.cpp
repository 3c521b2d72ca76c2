#include "dashrec/devices/GPS.h"

#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/NmeaFramer.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vk {

const std::string GPS::RMC = "RMC";
const std::string GPS::GGA = "GGA";
const std::string GPS::GLL = "GLL";
const std::string GPS::GSA = "GSA";
const std::string GPS::GSV = "GSV";
const std::string GPS::ZDA = "ZDA";
const std::string GPS::UART = "/dev/ttyS4";

namespace {

const int SILENT_ROUND_MS = 100;
// "$", talker: the type starts here.
const int TYPE_OFFSET = 3;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not a checksum digit here
}

} // namespace

void GPS::Init(bool satellites)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _running = true;
    SetDontSendSatelliteInfo();
    _parser.clear();
    _parser[RMC] = std::make_shared<ProcessRMC>();
    if (satellites) {
        _parser[GSA] = std::make_shared<ProcessGSA>();
        _parser[GSV] = std::make_shared<ProcessGSV>();
    }
    _gps_rx_count = 0;
    _noDataReported = false;
}

void GPS::Start()
{
    _t = std::thread([this] { Run(); });
}

void GPS::Finalize()
{
    _running = false;
    if (_t.joinable())
        _t.join();
}

void GPS::CopyData(gps_lock_data_t& data)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    data = _gpsData;
}

void GPS::SetSendSateliiteInfo()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _gpsData.sendSatelliteInfo = true;
}

void GPS::SetDontSendSatelliteInfo()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _gpsData.sendSatelliteInfo = false;
}

void GPS::DisableSendMeesageToApp()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _gpsData.sendMessageToApp = false;
}

void GPS::SetSignalAvg(int signalAvg, int nSat)
{
    _signalAvg = signalAvg;
    _nSat = nSat;
}

void GPS::SleepUnlocked(int ms)
{
    _mutex.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    _mutex.lock();
}

int GPS::Open()
{
    int fd = open(UART.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[GPS]%s can't be opened\n", UART.c_str());
        return -1;
    }
    termios tio {};
    tio.c_cflag = B9600 | CS8 | CREAD | CLOCAL;
    tio.c_iflag = IGNPAR;
    tio.c_lflag &= ~(ICANON | ECHO | ECHOE | ISIG);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        Singleton<SDDebug>::Inst()->Print("[GPS]tcsetattr() error\n");
        close(fd);
        return -1;
    }
    return fd;
}

void GPS::Run()
{
    int fd = Open();
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[GPS]fd{%d] Error, return\n", fd);
        return;
    }
    while (_running) {
        char c = 0;
        bool arrived = read(fd, &c, 1) == 1;
        CountSilentRound();
        if (arrived)
            HandleByte(c);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(SILENT_ROUND_MS));
    }
    close(fd);
}

void GPS::HandleByte(char c)
{
    _gps_rx_count = 0;
    _noDataReported = false;
    if (!_framer.Push(c))
        return;
    if (IsDataValid(_framer.Sentence(), _framer.Length()))
        Parse(_framer.Sentence(), _framer.Length());
    else
        DumpMessage(_framer.Sentence(), _framer.Length());
}

void GPS::CountSilentRound()
{
    if (_gps_rx_count < NO_DATA_ROUNDS) {
        ++_gps_rx_count;
        return;
    }
    // A silence is reported once: repeating it every round would flood the bus.
    if (!_noDataReported) {
        _noDataReported = true;
        ReportNoData();
    }
}

void GPS::ReportNoData()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _gpsData.available = false;
    _gpsData.speed = 0;
    UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::GPS, 0, 0);
}

bool GPS::IsDataValid(const char* data, int n)
{
    if (n < 2 || data[n - 2] != '\r' || data[n - 1] != '\n')
        return false;
    const char* star = nullptr;
    for (int i = 0; i < n - 2; ++i) {
        if (data[i] < 33 || data[i] > 126)
            return false;
        if (star == nullptr && data[i] == '*')
            star = data + i;
    }
    if (star == nullptr || star + 3 > data + n - 2)
        return false;
    unsigned char sum = 0;
    for (const char* p = data + 1; p < star; ++p)
        sum ^= static_cast<unsigned char>(*p);
    return HexDigit(star[1]) == (sum >> 4) && HexDigit(star[2]) == (sum & 0x0F);
}

void GPS::Parse(const char* data, int n)
{
    if (n >= MAX_SENTENCE) {
        Singleton<SDDebug>::Inst()->Print("[GPS]Overlong packet rejected.\n");
        DumpMessage(data, n);
        return;
    }
    std::memcpy(_message.copy, data, n);
    _message.copy[n] = '\0';
    if (!Split())
        return;
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    auto registered = _parser.find(_message.fields[0]);
    if (registered == _parser.end())
        return;
    // Kept alive by this copy: a parser may wait without the lock while Init replaces it.
    std::shared_ptr<Parser> parser = registered->second;
    Singleton<SpeedCam>::Inst()->ParseRMC(data, n);
    parser->Process(_gpsData, _message);
    DumpMessage(data, n);
}

bool GPS::Split()
{
    // The checksum goes; the last field then ends with a comma like the others.
    char* star = std::strchr(_message.copy, '*');
    if (star == nullptr || star - _message.copy < TYPE_OFFSET)
        return false;
    star[0] = ',';
    star[1] = '\0';
    _message.fields.clear();
    char* field = _message.copy + TYPE_OFFSET;
    _message.fields.push_back(field);
    for (char* p = field; *p != '\0'; ++p) {
        if (*p == ',') {
            *p = '\0';
            _message.fields.push_back(p + 1);
        }
    }
    return true;
}

} // namespace vk
