#include "dashrec/devices/TouchSensor.h"

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/I2c.h"

#include <chrono>
#include <cstdio>

namespace vk {

namespace {

const char* const GPIO_DIR = "/sys/class/gpio";
const auto POLL_INTERVAL = std::chrono::microseconds(1500);
const auto PRESSED_INTERVAL = std::chrono::milliseconds(100);
const auto IRQ_DEBOUNCE = std::chrono::milliseconds(1);
const auto OPEN_SETTLE = std::chrono::milliseconds(20);
// Releases closer together than this are one bounce of the same tap.
const auto MIN_RELEASE_GAP = std::chrono::microseconds(300000);
// Releases on the panel's outer rim are not taps.
const uint32_t INNER_X_MIN = 11;
const uint32_t INNER_X_MAX = 469;
const uint32_t INNER_Y_MIN = 11;
const uint32_t INNER_Y_MAX = 309;

} // namespace

void TouchSensor::Init()
{
    _running = true;
    _irq = std::make_shared<TOUCH_IQR_IN>(GPIO_IRQ, GPIO_DIR);
    _vendor = std::make_shared<TOUCH_VENDOR_IN>(GPIO_VENDOR, GPIO_DIR);
    TOUCH_SENSOR_VENDOR = 1;
    std::printf("[TouchSensor - ZT2003S] Touch panel vendor: ZT2003S\r\n");
}

void TouchSensor::Start()
{
    _t = std::thread([this] { Run(); });
}

void TouchSensor::Finalize()
{
    _running = false;
    if (_t.joinable())
        _t.join();
}

int TouchSensor::Open()
{
    int fd = I2c::Open(I2C);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[TouchSensor - ZT2003S] %s Can't be opened\n", I2C.c_str());
        std::printf("[TouchSensor - ZT2003S] %s Can't be opened\r\n", I2C.c_str());
        return -1;
    }
    std::printf("[TouchSensor - ZT2003S] Device Bus = %s, File descriptor = %d\r\n", I2C.c_str(), fd);
    return fd;
}

int TouchSensor::ZT2003SWriteDataByte(int fd, unsigned char value)
{
    if (!I2c::BindAddress(fd, ADDRESS) || I2c::Write(fd, &value, 1) != 1) {
        std::printf("[TouchSensor - ZT2003S] WriteData() - Unable to send data\r");
        return 1;
    }
    return 0;
}

int TouchSensor::ZT2003SReadData(int fd, unsigned char* buf, int len)
{
    if (!I2c::BindAddress(fd, ADDRESS) || I2c::Read(fd, buf, len) != len) {
        std::printf("[TouchSensor - ZT2003S] ReadData() - Unable to send data\r");
        return 1;
    }
    return 0;
}

void TouchSensor::ZT2003SInit(int fd)
{
    if (ZT2003SWriteDataByte(fd, CMD_X) == 0)
        std::printf("[TouchSensor - ZT2003S] ZT2003SInit() - Success \r");
    else
        std::printf("[TouchSensor - ZT2003S] ZT2003SInit() - Fail \r");
}

void TouchSensor::ReadOne(int fd, unsigned char command, uint32_t& reading, int& error)
{
    unsigned char buf[2] = {};
    error |= ZT2003SWriteDataByte(fd, command);
    error |= ZT2003SReadData(fd, buf, sizeof(buf));
    reading = error != 0 ? 0 : static_cast<uint32_t>(buf[0] * 256 + buf[1]) >> 4;
}

// z tells a press from a hover; once the chip has given it, it is kept.
int TouchSensor::ZT2003SReadXY(int fd)
{
    int error = 0;
    ReadOne(fd, CMD_X, _touch_adc_x, error);
    ReadOne(fd, CMD_Y, _touch_adc_y, error);
    if (_touch_adc_z == 0)
        ReadOne(fd, CMD_Z, _touch_adc_z, error);
    return error;
}

int TouchSensor::ZT2003SReadXYZ(int fd)
{
    int error = 0;
    ReadOne(fd, CMD_X, _touch_adc_x, error);
    ReadOne(fd, CMD_Y, _touch_adc_y, error);
    ReadOne(fd, CMD_Z, _touch_adc_z, error);
    return error;
}

void TouchSensor::ZT2003STransformPosition(uint32_t& x, uint32_t& y)
{
    int startX = 0;
    int startY = 0;
    int endX = 0;
    int endY = 0;
    Singleton<Pref>::Inst()->GetLcdCalibrationData(&startX, &startY, &endX, &endY);
    auto scale = [](uint32_t raw, int start, int end, int pixels) {
        int v = static_cast<int>(raw);
        if (v < start)
            v = start;
        if (v > end)
            v = end;
        double perPixel = (end - start) / static_cast<double>(pixels);
        int pixel = perPixel == 0.0 ? 0 : static_cast<int>((v - start) / perPixel);
        return static_cast<uint32_t>(pixel >= pixels ? pixels - 1 : pixel);
    };
    x = scale(x, startX, endX, LCD_WIDTH);
    y = scale(y, startY, endY, LCD_HEIGHT);
}

int TouchSensor::ZT2003SReadPosition(uint32_t& x, uint32_t& y)
{
    if (_touch_adc_x == 0 || _touch_adc_y == 0 || _touch_adc_z == 0) {
        x = 0;
        y = 0;
        std::printf("[TouchSensor - ZT2003S] ZT2003SReadPosition() - Error \r");
        return 1;
    }
    x = _touch_adc_x;
    y = _touch_adc_y;
    ZT2003STransformPosition(x, y);
    std::printf("[TouchSensor - ZT2003S] ZT2003SReadPosition() : X = 0x%04X[%03d], Y = 0x%04X[%03d] \r\n",
        _touch_adc_x, x, _touch_adc_y, y);
    return 0;
}

bool TouchSensor::CheckIRQ(int level)
{
    if (_irq->IRQGetValue() != level)
        return false;
    std::this_thread::sleep_for(IRQ_DEBOUNCE);
    return _irq->IRQGetValue() == level;
}

bool TouchSensor::ZT2003SCheckIRQLow()
{
    return CheckIRQ(0);
}

bool TouchSensor::ZT2003SCheckIRQHigh()
{
    return CheckIRQ(1);
}

void TouchSensor::Post(int param1, uint32_t x, uint32_t y)
{
    uintptr_t raw = static_cast<uintptr_t>(_touch_adc_x) << 16 | _touch_adc_y;
    UIQueue::Inst()->SendMessage(WND::ANY, WM::BUTTON, param1, static_cast<int>(x << 12 | y),
        reinterpret_cast<void*>(raw));
}

void TouchSensor::Run()
{
    int fd = Open();
    if (fd < 0) {
        std::printf("[TouchSensor - ZT2003S] Return : fd = %d\r\n", fd);
        return;
    }
    std::this_thread::sleep_for(OPEN_SETTLE);
    ZT2003SInit(fd);
    // A monotonic clock: a clock set by the GPS or the phone must not block taps.
    std::chrono::steady_clock::time_point lastRelease {};
    bool released = false;
    while (_running) {
        std::this_thread::sleep_for(POLL_INTERVAL);
        if (!ZT2003SCheckIRQLow())
            continue;
        uint32_t x = 0;
        uint32_t y = 0;
        if (ZT2003SReadXY(fd) != 0 || ZT2003SReadPosition(x, y) != 0)
            continue;
        std::printf("[TouchSensor - ZT2003S] Send Press Message : X = %d, Y = %d \r\n", x, y);
        Post(PARAM1::TOUCH_PRE, x, y);
        // A line stuck low must not hold up the end of the program.
        do {
            ZT2003SReadXY(fd);
            std::this_thread::sleep_for(PRESSED_INTERVAL);
        } while (!ZT2003SCheckIRQHigh() && _running);
        if (!_running)
            break;
        ZT2003SReadPosition(x, y);
        auto now = std::chrono::steady_clock::now();
        if (released && now - lastRelease <= MIN_RELEASE_GAP)
            continue;
        if (x < INNER_X_MIN || x > INNER_X_MAX || y < INNER_Y_MIN || y > INNER_Y_MAX)
            continue;
        std::printf("[TouchSensor - ZT2003S] Send Unpress Message : X = %d, Y = %d \r\n", x, y);
        Post(PARAM1::TOUCH, x, y);
        lastRelease = now;
        released = true;
    }
    I2c::Close(fd);
}

} // namespace vk
