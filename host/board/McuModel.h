#pragma once
// The power-management MCU as the program sees it over its serial line: it
// answers START with its information frame, reports supply voltage,
// temperature and the status bits (supply, ACC, power key) from the board's
// state, and records every frame the program sends (watchdog, power-off).

#include "host/board/Scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace board {

struct McuFrame {
    uint8_t cmd = 0;
    uint8_t p1 = 0;
    uint8_t p2 = 0;
};

// "POWER_OFF 0 2": the command's name and both parameters.
std::string DescribeFrame(const McuFrame& frame);

class McuModel {
public:
    static constexpr uint8_t VERSION = 7;

    using Bytes = std::vector<uint8_t>;

    // The frames of one status report for `state`.
    static Bytes StatusFrames(const BoardState& state);
    // The information frame; `accBoot` says the MCU woke on ACC.
    static Bytes InfoFrame(bool accBoot);
    static Bytes Frame(uint8_t cmd, uint8_t p1, uint8_t p2);

    // The A/D values that read as the given volts and degrees.
    static uint16_t VoltageAD(float volts);
    static uint16_t TemperatureAD(float celsius);

    // Feeds bytes from the program; whole frames with a good check are appended to `frames`.
    void Receive(const uint8_t* bytes, size_t count, std::vector<McuFrame>& frames);

private:
    uint8_t _frame[6] = {};
    size_t _position = 0;
};

} // namespace board
