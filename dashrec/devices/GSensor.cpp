#include "dashrec/devices/GSensor.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/I2c.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vk {

namespace {

const int SUBTITLE_AXIS_DIVISOR = 4;
// The chip needs these pauses after waking before its first sample.
const int WAKE_PAUSE_MS[] = { 20, 50 };

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

void GSensor::Init()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _running = true;
    _checkDeviceId = true;
    _counter = 0;
    _sampled = false;
    _listSubtitle.clear();
}

void GSensor::Start()
{
    _t = std::thread([this] { Run(); });
}

void GSensor::Finalize()
{
    _running = false;
    if (_t.joinable())
        _t.join();
}

void GSensor::GetValue(int& x, int& y, int& z)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    x = RValue.x[_counter];
    y = RValue.y[_counter];
    z = RValue.z[_counter];
}

int GSensor::Open()
{
    int fd = I2c::Open(I2C);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[GSensor - MC3416] %s can't be opened\n", I2C.c_str());
        std::printf("[GSensor - MC3416] %s can't be opened\r\n", I2C.c_str());
        return -1;
    }
    std::printf("[GSensor - MC3416] Device Bus = %s, file descriptor = %d\r\n", I2C.c_str(), fd);
    if (WriteDataByte(fd, REG_MODE, 1) != 0) {
        std::printf("[GSensor - MC3416] %s can't write 0x07\r\n", I2C.c_str());
        I2c::Close(fd);
        return -1;
    }
    return fd;
}

int GSensor::ReadData(int fd, int reg, unsigned char* buf, int len)
{
    unsigned char registerNumber = static_cast<unsigned char>(reg);
    if (!I2c::WriteRead(fd, ADDRESS, &registerNumber, 1, buf, len)) {
        std::printf("[GSensor - MC3416] ReadData() - Unable to send data\r");
        return -1;
    }
    return 0;
}

int GSensor::WriteDataByte(int fd, int reg, unsigned char value)
{
    if (!I2c::BindAddress(fd, ADDRESS)) {
        std::printf("[GSensor - MC3416] WriteDataByte() - Unable I2C_SLAVE 0x%02X\r\n", ADDRESS);
        return -1;
    }
    const unsigned char bytes[2] = { static_cast<unsigned char>(reg), value };
    ssize_t written = I2c::Write(fd, bytes, sizeof(bytes));
    if (written != static_cast<ssize_t>(sizeof(bytes))) {
        std::printf("[GSensor - MC3416] WriteDataByte() - Error : %d Bytes written\r\n", static_cast<int>(written));
        return -1;
    }
    return 0;
}

int GSensor::WriteMaskData(int fd, int reg, unsigned char mask, unsigned char value)
{
    unsigned char current = 0;
    if (ReadData(fd, reg, &current, 1) != 0)
        return -1;
    return WriteDataByte(fd, reg, static_cast<unsigned char>((current & ~mask) | (value & mask)));
}

int GSensor::CheckDevice(int fd)
{
    unsigned char status = 0;
    int result = ReadData(fd, REG_STATUS, &status, 1);
    Singleton<SDDebug>::Inst()->Print("GSensor::CheckDevice()...status=0x%02x\n", status);
    if (result == 0 && status == 1) {
        _checkDeviceId = true;
        return 0;
    }
    std::printf("[GSensor - MC3416] CheckDevice() - Device is not found\r");
    return -1;
}

int GSensor::GetAxisXYZ(int fd, int& x, int& y, int& z)
{
    const int registers[3] = { REG_X, REG_Y, REG_Z };
    int result = 0;
    for (int i = 0; i < 3; ++i) {
        if (ReadData(fd, registers[i], &GSensorData.acc_val[i], 1) != 0)
            result = -1;
    }
    if (result != 0)
        return -1;
    x = static_cast<signed char>(GSensorData.acc_val[0]);
    y = static_cast<signed char>(GSensorData.acc_val[1]);
    z = static_cast<signed char>(GSensorData.acc_val[2]);
    return 0;
}

int GSensor::GetInitXYZ(int fd, int& x, int& y, int& z)
{
    int ax = 0;
    int ay = 0;
    int az = 0;
    if (GetAxisXYZ(fd, ax, ay, az) != 0)
        return -1;
    CorrectAxis(ax, ay, az);
    x = ax;
    y = ay;
    z = az;
    return 0;
}

int GSensor::GetCorXYZ(int fd, int& x, int& y, int& z)
{
    if (GetInitXYZ(fd, x, y, z) != 0)
        return -1;
    CorrectAngle(x, y, z);
    Correct1G(x, y, z);
    CorrectZero(x, y, z);
    return 0;
}

// The chip is mounted with x and y reversed.
void GSensor::CorrectAxis(int& x, int& y, int&)
{
    x = -x;
    y = -y;
}

// Gravity lies along y; taking it out leaves only what the car does.
void GSensor::Correct1G(int&, int& y, int&)
{
    y += COUNTS_PER_G;
}

// The mounting angle and the zero offsets are not calibrated on this board.
void GSensor::CorrectAngle(int&, int&, int&)
{
}

void GSensor::CorrectZero(int&, int&, int&)
{
}

void GSensor::InitCorrection(int, int, int)
{
}

int GSensor::ReadInitData(int fd)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _cooldown = COOLDOWN_ROUNDS + 1;
    int x = 0;
    int y = 0;
    int z = 0;
    if (GetInitXYZ(fd, x, y, z) != 0)
        return -1;
    InitCorrection(x, y, z);
    Singleton<SDDebug>::Inst()->Print("G-Sensor init Value - x:%d, y:%d, z:%d, theta=%f, sinTheta=%f, cosTheta=%f\n", x,
        y, z, _corTheta, _corSin, _corCos);
    return 0;
}

float GSensor::MagnitudeG(int x, int y, int z)
{
    return std::sqrt(static_cast<float>(x * x + y * y + z * z)) / COUNTS_PER_G;
}

float GSensor::GetAcceSensitivity()
{
    Pref* pref = Singleton<Pref>::Inst();
    if (Singleton<CMainDvr>::Inst()->IsParkingMode())
        return pref->GetParkingGsensorValue();
    return pref->GetNormalGsensorValue();
}

bool GSensor::CheckShockOld(float& g)
{
    float m = MagnitudeG(RValue.x[0] - RValue.x[1], RValue.y[0] - RValue.y[1], RValue.z[0] - RValue.z[1]);
    float threshold = GetAcceSensitivity();
    if (m >= threshold) {
        std::printf(" v0 = %d, %d, %d; v1 = %d, %d, %d; m=%f, sen=%f\n", RValue.x[0], RValue.y[0], RValue.z[0],
            RValue.x[1], RValue.y[1], RValue.z[1], m, threshold);
    }
    g = m;
    return m >= threshold;
}

bool GSensor::CheckShock(int x, int y, int z)
{
    return MagnitudeG(x, y, z) >= GetAcceSensitivity();
}

void GSensor::Run()
{
    int fd = Open();
    if (fd < 0) {
        // The production tests show this flag: a sensor that cannot be reached is no sensor.
        _checkDeviceId = false;
        return;
    }
    for (int ms : WAKE_PAUSE_MS)
        SleepMs(ms);
    _checkDeviceId = ReadInitData(fd) == 0;
    int sleepMs = ROUND_MS;
    while (_running) {
        SleepMs(sleepMs);
        auto start = std::chrono::steady_clock::now();
        SampleRound(fd);
        auto workUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        int workMs = static_cast<int>((workUs.count() + 250) / 1000);
        sleepMs = workMs > sleepMs ? ROUND_MS : ROUND_MS - workMs;
    }
    I2c::Close(fd);
}

void GSensor::SampleRound(int fd)
{
    GetCorXYZ(fd, _x, _y, _z);
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        RValue.x[_counter] = _x;
        RValue.y[_counter] = _y;
        RValue.z[_counter] = _z;
    }
    float g = 0;
    if (_sampled && _cooldown > COOLDOWN_ROUNDS && CheckShockOld(g)) {
        _cooldown = 0;
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::GSENSOR_SIGNAL, 0, 0);
        Singleton<SDDebug>::Inst()->Print(
            "[GSensor - DA380B] Send Event Message X=%f(%d), Y=%f(%d), Z=%f(%d) G=%f, S=%f\n",
            static_cast<double>(_x) / COUNTS_PER_G, _x, static_cast<double>(_y) / COUNTS_PER_G, _y,
            static_cast<double>(_z) / COUNTS_PER_G, _z, g, GetAcceSensitivity());
    }
    SetSubTitleText();
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        _counter ^= 1;
    }
    _sampled = true;
    ++_cooldown;
}

void GSensor::SetSubTitleText()
{
    gps_lock_data_t fix;
    Singleton<GPS>::Inst()->CopyData(fix);
    int x = 0;
    int y = 0;
    int z = 0;
    GetValue(x, y, z);
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    int length = std::snprintf(_subtitle, sizeof(_subtitle), "EXTD/%d/%lf/%lf/%d/%02X/%02X/%02X,", fix.available ? 1 : 0,
        fix.longitude, fix.latitude, fix.speed, (x / SUBTITLE_AXIS_DIVISOR) & 0xFF, (y / SUBTITLE_AXIS_DIVISOR) & 0xFF,
        (z / SUBTITLE_AXIS_DIVISOR) & 0xFF);
    if (length >= static_cast<int>(sizeof(_subtitle)))
        VK_ASSERT_REPORT("strlen(_subtitle) < sizeof(_subtitle)");
    _listSubtitle.push_back(_subtitle);
    if (_listSubtitle.size() < SUBTITLE_RECORDS)
        return;
    _strSubTitle.clear();
    for (const std::string& record : _listSubtitle)
        _strSubTitle += record;
    _listSubtitle.clear();
    BmWorks::Inst()->SetSubtitleText(_strSubTitle);
}

void GSensor::SetOverlayText()
{
    gps_lock_data_t fix;
    Singleton<GPS>::Inst()->CopyData(fix);
    char longitude[16] = "---";
    char latitude[16] = "---";
    char speed[16] = "---km";
    if (fix.available) {
        std::snprintf(longitude, sizeof(longitude), "%s%5.1f", fix.longitude >= 0 ? "E" : "W", std::fabs(fix.longitude));
        std::snprintf(latitude, sizeof(latitude), "%s%4.1f", fix.latitude >= 0 ? "N" : "S", std::fabs(fix.latitude));
        std::snprintf(speed, sizeof(speed), "%3dkm", fix.speed);
    }
    Micom* micom = Singleton<Micom>::Inst();
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    int length = std::snprintf(_overlay, sizeof(_overlay), "%3.1fV %3d'C %s %s %s", micom->GetVoltage(),
        static_cast<int>(micom->GetTemperature()), longitude, latitude, speed);
    if (length >= static_cast<int>(sizeof(_overlay)))
        VK_ASSERT_REPORT("strlen(_overlay) < sizeof(_overlay)");
    BmWorks::Inst()->SetOverlayText(_overlay);
}

std::string GSensor::GetSubTitleText()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _strSubTitle;
}

std::string GSensor::GetOverlayText()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _overlay;
}

} // namespace vk
