#pragma once
// The link to the power-management MCU: 6-byte frames on a serial line, a
// receiver thread that keeps the latest status, the conversions of its A/D
// values, the commands to the MCU and the power-hold line that tells the MCU
// the program runs.

#include "dashrec/core/Singleton.h"
#include "dashrec/devices/Gpio.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vk {

class Micom : public Singleton<Micom> {
public:
    // Written by the receiver, read by any thread: each field whole.
    struct MicomData {
        std::atomic<uint16_t> voltage { 0 };
        std::atomic<uint16_t> temperature { 0 };
        std::atomic<uint8_t> power_status { 0 };
        std::atomic<uint8_t> acc_status { 0 };
        std::atomic<uint8_t> power_key_status { 0 };
        std::atomic<uint8_t> lock_m_status { 0 };
    };

    // Why the program asks for power-off; the MCU's second parameter.
    enum REASON {
        NORMAL_OFF_POWER = 0,
        CUT_OFF_POWER = 1,
        CUT_OFF_TEMPERATURE = 2,
        CUT_OFF_TIME = 3,
        POWER_KEY = 4,
        ACC_OFF = 5,
    };

    static constexpr size_t FRAME_SIZE = 6;

    static constexpr uint8_t CPU_CMD_SYNC_0 = 'M';
    static constexpr uint8_t CPU_CMD_SYNC_1 = 'D';
    static constexpr uint8_t CPU_CMD_WDT_RESET = 0x00;
    static constexpr uint8_t CPU_CMD_POWER_OFF = 0x01;
    static constexpr uint8_t CPU_CMD_RESET = 0x02;
    static constexpr uint8_t CPU_CMD_WDT_EN = 0x03;
    static constexpr uint8_t CPU_CMD_START = 0x04;
    static constexpr uint8_t CPU_CMD_ACK_STATUS = 0x05;

    static constexpr uint8_t MICOM_CMD_SYNC_0 = 'H';
    static constexpr uint8_t MICOM_CMD_SYNC_1 = 'L';
    static constexpr uint8_t MICOM_CMD_MICOM_INFO = 0x84;
    static constexpr uint8_t MICOM_CMD_VOLTAGE = 0x85;
    static constexpr uint8_t MICOM_CMD_TEMPERATURE = 0x86;
    static constexpr uint8_t MICOM_CMD_KEY = 0x87;
    static constexpr uint8_t MICOM_CMD_ACK = 0x88;
    static constexpr uint8_t MICOM_CMD_REQUEST_STATUS = 0x89;

    // Status bits of the ACK frame's second parameter.
    static constexpr uint8_t STATUS_POWER = 0x01;
    static constexpr uint8_t STATUS_ACC = 0x02;
    static constexpr uint8_t STATUS_POWER_KEY = 0x04;
    static constexpr uint8_t STATUS_LOCK = 0x08;

    static constexpr uint16_t DEFAULT_REF_12V = 644;
    static constexpr uint16_t DEFAULT_REF_24V = 1310;
    static constexpr uint16_t TRUCK_AD_ABOVE = 978;
    static constexpr int GPIO_POWER_HOLD = 201;

    void Init();
    void Lock();
    void Unlock();
    void Start();
    void Finalize();

    int Write(const uint8_t* bytes, size_t length);
    // XOR of the five bytes before the check byte, whatever `length` says.
    static uint8_t MakeCheckSum(const uint8_t* cmd, size_t length);

    void SendStart();
    void SendWDTDisable();
    void SendWDTEnable();
    void SendWDTReset();
    void SendReset();
    void SendPowerOff(REASON reason);
    void SendStatus();

    bool GetACCStatus() const { return micom_status.acc_status != 0; }
    bool GetPowerKeyStatus() const { return micom_status.power_key_status != 0; }
    uint16_t GetVoltageADValue() const { return micom_status.voltage; }
    uint16_t GetTemperatureADValue() const { return micom_status.temperature; }
    bool IsPowerOn() const { return _powerOn; }
    uint8_t GetVersion() const { return _micomVersion; }

    float GetVoltage() const;
    float GetTemperature() const;
    bool IsTruck() const { return GetVoltageADValue() > TRUCK_AD_ABOVE; }

    // The conversions, for the references that read exactly 12 V and 24 V;
    // values off the tables read 0.0.
    static float VoltageFromAD(uint16_t ad, uint16_t ref12, uint16_t ref24);
    static float TemperatureFromAD(uint16_t ad);

    MicomData micom_status;

private:
    bool OpenLine();
    void Receive();
    void Assemble(uint8_t byte);
    void HandleFrame(const uint8_t* frame);
    void HandleInfo(uint8_t version, uint8_t bootReason);
    void Send(uint8_t cmd, uint8_t p1, uint8_t p2);
    static uint16_t ChooseReference(bool valid, unsigned short value, uint16_t fallback, const char* name);

    int _fd = -1;
    std::atomic<bool> _running { false };
    std::atomic<bool> _powerOn { false };
    std::thread _t;
    bool _enableWatchDog = false;
    std::atomic<uint8_t> _micomVersion { 0 };
    std::shared_ptr<GPIO_OUT> _pLock;
    const std::string UART = "/dev/ttyS1";
    uint16_t lRef12VoltADValue = DEFAULT_REF_12V;
    uint16_t lRef24VoltADValue = DEFAULT_REF_24V;

    // The frame being received; only the receiver thread touches it.
    uint8_t _frame[32] = {};
    size_t _position = 0;
};

} // namespace vk
