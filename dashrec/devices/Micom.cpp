#include "dashrec/devices/Micom.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const GPIO_DIR = "/sys/class/gpio";
const useconds_t IDLE_US = 100 * 1000;

// One point of a piecewise linear conversion: the value at an A/D position
// (an offset from the calibration reference) and the A/D span to the next point.
struct VoltPoint {
    int volts;
    int16_t offset;
    uint16_t span;
};

const size_t VOLT_POINTS = 13;

const VoltPoint VOLTS_12[VOLT_POINTS] = {
    { 6, -349, 60 }, { 7, -289, 59 }, { 8, -230, 57 }, { 9, -173, 57 }, { 10, -116, 59 },
    { 11, -57, 57 }, { 12, 0, 58 },   { 13, 58, 57 },  { 14, 115, 57 }, { 15, 172, 58 },
    { 16, 230, 56 }, { 17, 286, 57 }, { 18, 343, 0 },
};

// The 18 V point is joined to the top of the 12 V table for the references in use.
const VoltPoint VOLTS_24[VOLT_POINTS] = {
    { 18, 0, 0 },     { 19, -284, 57 }, { 20, -227, 56 }, { 21, -171, 57 }, { 22, -114, 57 },
    { 23, -57, 57 },  { 24, 0, 56 },    { 25, 56, 57 },   { 26, 113, 55 },  { 27, 168, 57 },
    { 28, 225, 55 },  { 29, 280, 56 },  { 30, 336, 0 },
};

const size_t TEMPERATURE_POINTS = 23;

// -10 °C at 963, then 5 °C per 19 counts up to 95 °C at 1362, and 100 °C at 1380.
const uint16_t TEMPERATURE_AD[TEMPERATURE_POINTS] = {
    963,  982,  1001, 1020, 1039, 1058, 1077, 1096, 1115, 1134, 1153, 1172,
    1191, 1210, 1229, 1248, 1267, 1286, 1305, 1324, 1343, 1362, 1380,
};
const int TEMPERATURE_LOWEST = -10;
const int TEMPERATURE_STEP = 5;

// The boot reasons, by the high nibble of the information frame's second parameter.
const char* const BOOT_REASONS[] = {
    "[MICOM]Booting Issue = Normal Power ON\n",
    "[MICOM]Booting Issue = ACC ON\n",
    "[MICOM]Booting Issue = Reset\n",
    "[MICOM]Booting Issue = Power Key\n",
    "[MICOM]Booting Issue = WDT Reset\n",
    "[MICOM]Booting Issue = Problem : Forced Power ON\n",
    "[MICOM]Booting Issue = Problem : Forced Power ON 2ND\n",
    "[MICOM]Booting Issue = Problem : Forced ACC ON\n",
    "[MICOM]Booting Issue = Problem : Forced Reset\n",
    "[MICOM]Booting Issue = Problem : Forced Power Key\n",
};

// The table's A/D positions are kept in 16 bits, as the MCU reports them.
float Interpolate(const VoltPoint* table, uint16_t reference, uint16_t ad)
{
    for (size_t i = 0; i + 1 < VOLT_POINTS; ++i) {
        uint16_t low = static_cast<uint16_t>(reference + table[i].offset);
        uint16_t high = static_cast<uint16_t>(reference + table[i + 1].offset);
        if (low <= ad && ad < high) {
            float perVolt = table[i].span / 1000.0f;
            return table[i].volts + (ad - low) / perVolt / 1000.0f;
        }
    }
    return 0.0f;
}

bool ConfigureLine(int fd)
{
    termios tio {};
    tio.c_cflag = CS8 | CLOCAL | CREAD;
    tio.c_iflag = IGNPAR;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    tcflush(fd, TCIFLUSH);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

void Micom::Init()
{
    _fd = -1;
    _running = false;
    _powerOn = false;
    _enableWatchDog = false;
    _micomVersion = 0;
    _pLock = std::make_shared<GPIO_OUT>(GPIO_POWER_HOLD, GPIO_DIR);
}

void Micom::Lock()
{
    VK_ASSERT(_pLock != nullptr);
    _pLock->SetOn();
}

void Micom::Unlock()
{
    VK_ASSERT(_pLock != nullptr);
    _pLock->SetOff();
}

uint16_t Micom::ChooseReference(bool valid, unsigned short value, uint16_t fallback, const char* name)
{
    uint16_t reference = valid ? value : fallback;
    Log()->Print("[Micom] %s : inil%s = %d\r\n", valid ? "TRUE " : "FALSE", name, reference);
    return reference;
}

void Micom::Start()
{
    Pref* pref = Singleton<Pref>::Inst();
    unsigned short value = 0;
    bool valid = pref->GetRef12VoltValue(value);
    lRef12VoltADValue = ChooseReference(valid, value, DEFAULT_REF_12V, "Ref12VoltADValue");
    valid = pref->GetRef24VoltValue(value);
    lRef24VoltADValue = ChooseReference(valid, value, DEFAULT_REF_24V, "Ref24VoltADValue");
    // Opened before the receiver starts, so a Finalize that follows at once stops it.
    if (!OpenLine()) {
        Log()->Print("[Micom] fd{%d] Error, return\r\n", -1);
        return;
    }
    SendStart();
    _t = std::thread(&Micom::Receive, this);
}

void Micom::Finalize()
{
    _running = false;
    _powerOn = false;
    if (_t.joinable())
        _t.join();
}

bool Micom::OpenLine()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _fd = open(UART.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (_fd < 0) {
        Log()->Print("[Micom] %s can't be opened\r\n", UART.c_str());
        return false;
    }
    if (!ConfigureLine(_fd)) {
        Log()->Print("[Micom] tcsetattr() error\r\n");
        close(_fd);
        _fd = -1;
        return false;
    }
    _running = true;
    return true;
}

void Micom::Receive()
{
    _position = 0;
    while (_running) {
        uint8_t byte = 0;
        if (read(_fd, &byte, 1) == 1)
            Assemble(byte);
        else
            usleep(IDLE_US);
    }
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    close(_fd);
    _fd = -1;
}

// A frame starts at 'H' 'L'; a wrong second byte drops the frame and is not
// taken as a new start.
void Micom::Assemble(uint8_t byte)
{
    if (_position == 0) {
        if (byte != MICOM_CMD_SYNC_0)
            return;
        std::fill(std::begin(_frame), std::end(_frame), 0);
    }
    else if (_position == 1 && byte != MICOM_CMD_SYNC_1) {
        _position = 0;
        return;
    }
    _frame[_position++] = byte;
    if (_position < FRAME_SIZE)
        return;
    if (MakeCheckSum(_frame, FRAME_SIZE) == _frame[5])
        HandleFrame(_frame);
    _position = 0;
}

void Micom::HandleFrame(const uint8_t* frame)
{
    uint8_t p1 = frame[3];
    uint8_t p2 = frame[4];
    uint16_t value = static_cast<uint16_t>(p1 * 256 + p2);
    switch (frame[2]) {
    case MICOM_CMD_MICOM_INFO:
        HandleInfo(p1, p2);
        break;
    case MICOM_CMD_VOLTAGE:
        micom_status.voltage = value;
        break;
    case MICOM_CMD_TEMPERATURE:
        micom_status.temperature = value;
        break;
    case MICOM_CMD_ACK:
        micom_status.power_status = p2 & STATUS_POWER;
        micom_status.acc_status = p2 & STATUS_ACC;
        micom_status.power_key_status = p2 & STATUS_POWER_KEY;
        micom_status.lock_m_status = p2 & STATUS_LOCK;
        break;
    default: // KEY, REQUEST_STATUS and unknown commands change nothing
        break;
    }
}

void Micom::HandleInfo(uint8_t version, uint8_t bootReason)
{
    _powerOn = true;
    _micomVersion = version;
    Log()->Print("------------ VERSION:%s-%d ------------\n", DASHREC_VERSION, version);
    Log()->Print("[Micom] lRef12VoltADValue:%d, lRef24VoltADValue:%d\n", lRef12VoltADValue, lRef24VoltADValue);
    size_t reason = bootReason >> 4;
    if (reason < sizeof(BOOT_REASONS) / sizeof(BOOT_REASONS[0]))
        Log()->Print("%s", BOOT_REASONS[reason]);
}

int Micom::Write(const uint8_t* bytes, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_running) {
        Log()->Print("[Micom] Serial is not ready\r\n");
        return 0;
    }
    if (_fd < 0)
        return 0;
    ssize_t written = write(_fd, bytes, length);
    return written < 0 ? 0 : static_cast<int>(written);
}

uint8_t Micom::MakeCheckSum(const uint8_t* cmd, size_t)
{
    VK_ASSERT(cmd != nullptr);
    return cmd[0] ^ cmd[1] ^ cmd[2] ^ cmd[3] ^ cmd[4];
}

void Micom::Send(uint8_t cmd, uint8_t p1, uint8_t p2)
{
    uint8_t frame[FRAME_SIZE] = { CPU_CMD_SYNC_0, CPU_CMD_SYNC_1, cmd, p1, p2, 0 };
    frame[5] = MakeCheckSum(frame, FRAME_SIZE);
    Write(frame, FRAME_SIZE);
}

void Micom::SendStart()
{
    Send(CPU_CMD_START, 0, 0);
}

void Micom::SendWDTDisable()
{
    _enableWatchDog = false;
    Send(CPU_CMD_WDT_EN, 0, 0);
}

void Micom::SendWDTEnable()
{
    _enableWatchDog = true;
    Send(CPU_CMD_WDT_EN, 0, 1);
}

void Micom::SendWDTReset()
{
    Send(CPU_CMD_WDT_RESET, 0, 10);
}

void Micom::SendReset()
{
    Send(CPU_CMD_RESET, _micomVersion, 0);
}

void Micom::SendPowerOff(REASON reason)
{
    uint8_t frame[FRAME_SIZE] = { CPU_CMD_SYNC_0, CPU_CMD_SYNC_1, CPU_CMD_POWER_OFF, 0, static_cast<uint8_t>(reason),
                                  0 };
    frame[5] = MakeCheckSum(frame, FRAME_SIZE);
    std::printf("[Micom] Send PowerOff:0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X\r\n", frame[0], frame[1], frame[2],
                frame[3], frame[4], frame[5]);
    Write(frame, FRAME_SIZE);
}

void Micom::SendStatus()
{
    Send(CPU_CMD_ACK_STATUS, 0, 0);
    usleep(IDLE_US);
    Send(CPU_CMD_WDT_EN, 0, _enableWatchDog ? 1 : 0);
}

float Micom::GetVoltage() const
{
    return VoltageFromAD(GetVoltageADValue(), lRef12VoltADValue, lRef24VoltADValue);
}

float Micom::GetTemperature() const
{
    return TemperatureFromAD(GetTemperatureADValue());
}

float Micom::VoltageFromAD(uint16_t ad, uint16_t ref12, uint16_t ref24)
{
    const VoltPoint& top12 = VOLTS_12[VOLT_POINTS - 1];
    if (ad < static_cast<uint16_t>(ref12 + top12.offset))
        return Interpolate(VOLTS_12, ref12, ad);
    VoltPoint volts24[VOLT_POINTS];
    std::copy(std::begin(VOLTS_24), std::end(VOLTS_24), volts24);
    volts24[0].offset = static_cast<int16_t>(ref12 + top12.offset - ref24);
    volts24[0].span = static_cast<uint16_t>(volts24[1].offset - volts24[0].offset);
    return Interpolate(volts24, ref24, ad);
}

float Micom::TemperatureFromAD(uint16_t ad)
{
    for (size_t i = 0; i + 1 < TEMPERATURE_POINTS; ++i) {
        if (TEMPERATURE_AD[i] <= ad && ad < TEMPERATURE_AD[i + 1]) {
            double perDegree = (TEMPERATURE_AD[i + 1] - TEMPERATURE_AD[i]) / static_cast<double>(TEMPERATURE_STEP);
            int lower = TEMPERATURE_LOWEST + static_cast<int>(i) * TEMPERATURE_STEP;
            return static_cast<float>(lower + (ad - TEMPERATURE_AD[i]) / perDegree);
        }
    }
    return 0.0f;
}

} // namespace vk
