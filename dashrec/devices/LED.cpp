#include "dashrec/devices/LED.h"

#include <unistd.h>

namespace vk {

namespace {

const char* const GPIO_DIR = "/sys/class/gpio";
const useconds_t TICK_US = 250 * 1000;
const int COUNT_WRAP = 256;

// The patterns of the first row whose condition holds: any bit of `mask`, or
// all of them when `all` is set (a zero mask with `all` always holds).
struct PatternRow {
    uint32_t mask;
    bool all;
    LED::LED_STATE red;
    LED::LED_STATE blue;
    LED::LED_STATE security;
};

const PatternRow PATTERNS[] = {
    { LED::FORMAT, false, LED::LED_CROSS_BLINK, LED::LED_CROSS_BLINK, LED::LED_BLINK },
    { LED::MENU, false, LED::LED_ON, LED::LED_OFF, LED::LED_BLINK },
    { LED::ERROR, false, LED::LED_BLINK, LED::LED_OFF, LED::LED_BLINK },
    { LED::EVENT_RECORDING | LED::PARKING_RECORDING | LED::MANUAL_RECORDING, false, LED::LED_BLINK, LED::LED_BLINK,
      LED::LED_FAST_BLINK },
    { LED::RECORDING | LED::GPS_LOCK, true, LED::LED_OFF, LED::LED_ON, LED::LED_BLINK },
    { LED::RECORDING, false, LED::LED_BLINK, LED::LED_ON, LED::LED_BLINK },
    { LED::PARKING_MODE, false, LED::LED_OFF, LED::LED_BLINK, LED::LED_BLINK },
    { 0, true, LED::LED_OFF, LED::LED_ON, LED::LED_OFF },
};

// What lights an output in each pattern, per LED (red, blue, security).
enum Drive { DARK, LIT, SLOW, SLOW_INVERTED, FAST };

const Drive DRIVES[][3] = {
    /* LED_OFF */ { DARK, DARK, DARK },
    /* LED_ON */ { LIT, LIT, LIT },
    /* LED_BLINK */ { SLOW, SLOW, SLOW_INVERTED },
    /* LED_CROSS_BLINK */ { SLOW, SLOW_INVERTED, SLOW_INVERTED },
    /* LED_FAST_BLINK */ { FAST, FAST, FAST },
};

enum Output { RED, BLUE, SECURITY };

bool IsLit(Drive drive, bool blink, bool fastblink)
{
    switch (drive) {
    case LIT:
        return true;
    case SLOW:
        return blink;
    case SLOW_INVERTED:
        return !blink;
    case FAST:
        return fastblink;
    case DARK:
        break;
    }
    return false;
}

void SetOutput(GPIO_OUT& out, bool on)
{
    if (on)
        out.SetOn();
    else
        out.SetOff();
}

} // namespace

void LED::Init()
{
    _pLedBlue = std::make_shared<GPIO_OUT>(GPIO_BLUE, GPIO_DIR);
    _pLedRed = std::make_shared<GPIO_OUT>(GPIO_RED, GPIO_DIR);
    _pLedSecurity = std::make_shared<GPIO_OUT>(GPIO_SECURITY, GPIO_DIR);
    _pLedRed->SetOff();
    _pLedBlue->SetOff();
    _pLedSecurity->SetOff();
    _blink = false;
    _red = LED_OFF;
    _blue = LED_OFF;
    _security = LED_OFF;
}

// Running from before the thread exists, so a Finalize that comes first is not lost.
void LED::Start()
{
    _running = true;
    _t = std::thread(&LED::Run, this);
}

void LED::Finalize()
{
    _running = false;
    sleep(1);
    if (_t.joinable())
        _t.join();
}

void LED::Set(uint32_t bits)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    state |= bits;
}

void LED::Clear(uint32_t bits)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    state &= ~bits;
}

void LED::ClearAll()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    state = 0;
}

void LED::SetLedState()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (state == prev_state)
        return;
    prev_state = state;
    for (const PatternRow& row : PATTERNS) {
        uint32_t held = state & row.mask;
        if (row.all ? held == row.mask : held != 0) {
            _red = row.red;
            _blue = row.blue;
            _security = row.security;
            return;
        }
    }
}

void LED::Run()
{
    _count = 0;
    _blink = false;
    _fastblink = false;
    while (_running) {
        usleep(TICK_US);
        Tick();
    }
    _pLedRed->SetOn();
    _pLedBlue->SetOff();
    _pLedSecurity->SetOff();
}

void LED::Tick()
{
    SetLedState();
    if (++_count > COUNT_WRAP)
        _count = 0;
    if (_count % 2 == 1)
        _blink = !_blink;
    _fastblink = !_fastblink;
    WriteOutputs();
}

void LED::WriteOutputs()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    SetOutput(*_pLedRed, IsLit(DRIVES[_red][RED], _blink, _fastblink));
    SetOutput(*_pLedBlue, IsLit(DRIVES[_blue][BLUE], _blink, _fastblink));
    SetOutput(*_pLedSecurity, IsLit(DRIVES[_security][SECURITY], _blink, _fastblink));
}

} // namespace vk
