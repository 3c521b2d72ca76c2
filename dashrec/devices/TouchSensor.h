#pragma once
// The touch panel: a ZT2003S controller on "/dev/i2c-3" whose interrupt line
// (GPIO 229) is low while the panel is pressed. A polling thread reads the
// raw coordinates, scales them to screen pixels with the calibration box of
// the preferences, and posts TOUCH_PRE on press and TOUCH on release.

#include "dashrec/core/Singleton.h"
#include "dashrec/devices/Gpio.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vk {

// The interrupt input of the panel.
class TOUCH_IQR_IN : public GPIO_IN {
public:
    using GPIO_IN::GPIO_IN;
    void Update(long) override {}
    int IRQGetValue() { return GetValue(); }
};

// The vendor-select input; exported with the panel, never read.
class TOUCH_VENDOR_IN : public GPIO_IN {
public:
    using GPIO_IN::GPIO_IN;
    void Update(long) override {}
    int VENDORGetValue() { return GetValue(); }
};

class TouchSensor : public Singleton<TouchSensor> {
public:
    static constexpr int GPIO_IRQ = 229;
    static constexpr int GPIO_VENDOR = 205;
    static constexpr int ADDRESS = 0x48;
    static constexpr unsigned char CMD_X = 0xD8;
    static constexpr unsigned char CMD_Y = 0xC8;
    static constexpr unsigned char CMD_Z = 0xE8;
    static constexpr int LCD_WIDTH = 480;
    static constexpr int LCD_HEIGHT = 320;

    void Init();
    void Start();
    void Finalize();

    int Open();
    int ZT2003SWriteDataByte(int fd, unsigned char value);
    int ZT2003SReadData(int fd, unsigned char* buf, int len);
    void ZT2003SInit(int fd);
    int ZT2003SReadXY(int fd);
    int ZT2003SReadXYZ(int fd);
    int ZT2003SReadPosition(uint32_t& x, uint32_t& y);
    static void ZT2003STransformPosition(uint32_t& x, uint32_t& y);
    bool ZT2003SCheckIRQLow();
    bool ZT2003SCheckIRQHigh();

private:
    void Run();
    // One measurement into `reading`; `error` collects the failures of the call.
    void ReadOne(int fd, unsigned char command, uint32_t& reading, int& error);
    bool CheckIRQ(int level);
    void Post(int param1, uint32_t x, uint32_t y);

    std::shared_ptr<TOUCH_IQR_IN> _irq;
    std::shared_ptr<TOUCH_VENDOR_IN> _vendor;
    std::atomic<bool> _running { false };
    int TOUCH_SENSOR_VENDOR = 0;
    std::thread _t;
    uint32_t _touch_adc_x = 0;
    uint32_t _touch_adc_y = 0;
    uint32_t _touch_adc_z = 0;
    const std::string I2C = "/dev/i2c-3";
};

} // namespace vk
