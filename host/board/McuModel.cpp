#include "host/board/McuModel.h"

#include "dashrec/devices/Micom.h"

#include <cmath>

namespace board {

namespace {

using vk::Micom;

struct CommandName {
    uint8_t cmd;
    const char* name;
};

const CommandName COMMAND_NAMES[] = {
    { Micom::CPU_CMD_WDT_RESET, "WDT_RESET" }, { Micom::CPU_CMD_POWER_OFF, "POWER_OFF" },
    { Micom::CPU_CMD_RESET, "RESET" },         { Micom::CPU_CMD_WDT_EN, "WDT_EN" },
    { Micom::CPU_CMD_START, "START" },         { Micom::CPU_CMD_ACK_STATUS, "ACK_STATUS" },
};

const uint8_t BOOT_NORMAL = 0x00;
const uint8_t BOOT_ACC_ON = 0x10;
const uint16_t AD_LIMIT = 2048;

// The A/D value whose reading comes nearest `wanted`, among those on the table.
template <typename Read>
uint16_t NearestAD(float wanted, Read read)
{
    uint16_t best = 0;
    float bestError = INFINITY;
    for (uint16_t ad = 0; ad < AD_LIMIT; ++ad) {
        float reading = read(ad);
        float error = std::fabs(reading - wanted);
        if (reading != 0.0f && error < bestError) {
            best = ad;
            bestError = error;
        }
    }
    return best;
}

} // namespace

std::string DescribeFrame(const McuFrame& frame)
{
    std::string name = "UNKNOWN";
    for (const CommandName& known : COMMAND_NAMES)
        if (known.cmd == frame.cmd)
            name = known.name;
    return name + " " + std::to_string(frame.p1) + " " + std::to_string(frame.p2);
}

McuModel::Bytes McuModel::Frame(uint8_t cmd, uint8_t p1, uint8_t p2)
{
    Bytes frame = { Micom::MICOM_CMD_SYNC_0, Micom::MICOM_CMD_SYNC_1, cmd, p1, p2, 0 };
    frame[5] = Micom::MakeCheckSum(frame.data(), frame.size());
    return frame;
}

McuModel::Bytes McuModel::InfoFrame(bool accBoot)
{
    return Frame(Micom::MICOM_CMD_MICOM_INFO, VERSION, accBoot ? BOOT_ACC_ON : BOOT_NORMAL);
}

McuModel::Bytes McuModel::StatusFrames(const BoardState& state)
{
    uint16_t volts = VoltageAD(state.volts);
    uint16_t celsius = TemperatureAD(state.celsius);
    uint8_t bits = (state.supply ? Micom::STATUS_POWER : 0) | (state.acc ? Micom::STATUS_ACC : 0) |
                   (state.powerKey ? Micom::STATUS_POWER_KEY : 0);
    Bytes frames = Frame(Micom::MICOM_CMD_VOLTAGE, volts >> 8, volts & 0xFF);
    Bytes more = Frame(Micom::MICOM_CMD_TEMPERATURE, celsius >> 8, celsius & 0xFF);
    frames.insert(frames.end(), more.begin(), more.end());
    more = Frame(Micom::MICOM_CMD_ACK, 0, bits);
    frames.insert(frames.end(), more.begin(), more.end());
    return frames;
}

uint16_t McuModel::VoltageAD(float volts)
{
    return NearestAD(volts, [](uint16_t ad) {
        return Micom::VoltageFromAD(ad, Micom::DEFAULT_REF_12V, Micom::DEFAULT_REF_24V);
    });
}

uint16_t McuModel::TemperatureAD(float celsius)
{
    return NearestAD(celsius, [](uint16_t ad) { return Micom::TemperatureFromAD(ad); });
}

void McuModel::Receive(const uint8_t* bytes, size_t count, std::vector<McuFrame>& frames)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = bytes[i];
        bool sync = (_position == 0 && byte == Micom::CPU_CMD_SYNC_0) ||
                    (_position == 1 && byte == Micom::CPU_CMD_SYNC_1) || _position > 1;
        if (!sync) {
            _position = byte == Micom::CPU_CMD_SYNC_0 ? 1 : 0;
            _frame[0] = byte;
            continue;
        }
        _frame[_position++] = byte;
        if (_position < sizeof(_frame))
            continue;
        if (Micom::MakeCheckSum(_frame, sizeof(_frame)) == _frame[5])
            frames.push_back({ _frame[2], _frame[3], _frame[4] });
        _position = 0;
    }
}

} // namespace board
