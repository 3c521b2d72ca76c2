#pragma once
// Sysfs GPIO pins, driven through the shell as the board's kernel expects:
// an object exports its pin when made and unexports it when destroyed.

#include <string>

namespace vk {

// An output pin: LEDs, the MCU's power-hold line, the service modes' own LEDs.
class GPIO_OUT {
public:
    GPIO_OUT(int index, std::string dir);
    virtual ~GPIO_OUT();
    GPIO_OUT(const GPIO_OUT&) = delete;
    GPIO_OUT& operator=(const GPIO_OUT&) = delete;

    void SetOn();
    void SetOff();
    // An unreadable pin answers true, so a caller that toggles by asking first
    // keeps switching it off.
    bool IsOn();

private:
    int _gpioIndex;
    std::string _gpioDir;
};

// An input pin polled by the detector thread; Update gets the microseconds
// since the previous poll.
class GPIO_IN {
public:
    GPIO_IN(int index, std::string dir);
    virtual ~GPIO_IN();
    GPIO_IN(const GPIO_IN&) = delete;
    GPIO_IN& operator=(const GPIO_IN&) = delete;

    virtual void Update(long elapsedUs) = 0;
    // The number in the pin's value file, or -1 when it cannot be read.
    int GetValue();

protected:
    int _gpioIndex;
    std::string _gpioDir;

private:
    bool _openFailed = false;
};

} // namespace vk
