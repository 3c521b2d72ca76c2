// The MCU link over a real pty bound at /dev/ttyS1: the frames it sends, the
// receiver's resynchronisation, and the A/D conversions.

#include "dashrec/devices/Micom.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using vk::Micom;
using Bytes = std::vector<uint8_t>;

uint8_t Xor(const Bytes& b)
{
    return b[0] ^ b[1] ^ b[2] ^ b[3] ^ b[4];
}

Bytes McuFrame(uint8_t cmd, uint8_t p1, uint8_t p2)
{
    Bytes frame = { 'H', 'L', cmd, p1, p2, 0 };
    frame[5] = Xor(frame);
    return frame;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class MicomLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board::LayOutSysfs());
        ASSERT_TRUE(_line.Bind("/dev/ttyS1"));
        _micom->Init();
        _micom->Start();
        Bytes start = ReadFrame();
        ASSERT_EQ(start, (Bytes { 'M', 'D', 0x04, 0, 0, 'M' ^ 'D' ^ 0x04 }));
    }

    void TearDown() override { _micom->Finalize(); }

    Bytes ReadFrame()
    {
        Bytes frame;
        uint8_t byte = 0;
        while (frame.size() < Micom::FRAME_SIZE && _line.Read(&byte, 1, 2000) == 1)
            frame.push_back(byte);
        return frame;
    }

    void Send(const Bytes& bytes) { ASSERT_EQ(_line.Write(bytes.data(), bytes.size()), (ssize_t)bytes.size()); }

    // The receiver handles bytes in order: once this frame is seen, every earlier byte was.
    void SendTemperatureAndWait(uint16_t ad)
    {
        Send(McuFrame(Micom::MICOM_CMD_TEMPERATURE, ad >> 8, ad & 0xFF));
        ASSERT_TRUE(WaitUntil([&] { return _micom->GetTemperatureADValue() == ad; }));
    }

    board::PtyLine _line;
    Micom* _micom = vk::Singleton<Micom>::Inst();
};

TEST_F(MicomLine, CommandsAreSentAsFramesWithTheirCheckByte)
{
    Send(McuFrame(Micom::MICOM_CMD_MICOM_INFO, 9, 0x10));
    ASSERT_TRUE(WaitUntil([&] { return _micom->IsPowerOn(); }));
    EXPECT_EQ(_micom->GetVersion(), 9);

    struct Case {
        const char* name;
        std::function<void()> send;
        Bytes body;
    };
    const Case cases[] = {
        { "power-off, temperature", [&] { _micom->SendPowerOff(Micom::CUT_OFF_TEMPERATURE); }, { 'M', 'D', 1, 0, 2 } },
        { "power-off, power key", [&] { _micom->SendPowerOff(Micom::POWER_KEY); }, { 'M', 'D', 1, 0, 4 } },
        { "watchdog kick", [&] { _micom->SendWDTReset(); }, { 'M', 'D', 0, 0, 10 } },
        { "watchdog on", [&] { _micom->SendWDTEnable(); }, { 'M', 'D', 3, 0, 1 } },
        { "watchdog off", [&] { _micom->SendWDTDisable(); }, { 'M', 'D', 3, 0, 0 } },
        { "reset with the MCU's version", [&] { _micom->SendReset(); }, { 'M', 'D', 2, 9, 0 } },
        { "start", [&] { _micom->SendStart(); }, { 'M', 'D', 4, 0, 0 } },
    };
    for (const Case& c : cases) {
        c.send();
        Bytes expected = c.body;
        expected.push_back(Xor(expected));
        EXPECT_EQ(ReadFrame(), expected) << c.name;
    }
    EXPECT_EQ(Xor({ 'M', 'D', 1, 0, 2 }), 0x0A);
}

TEST_F(MicomLine, StartLogsTheCalibrationReferencesInUse)
{
    _micom->Finalize();
    testing::internal::CaptureStdout();
    _micom->Start();
    ReadFrame();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find(" : inilRef12VoltADValue = "), std::string::npos) << log;
    EXPECT_NE(log.find(" : inilRef24VoltADValue = "), std::string::npos) << log;
}

TEST_F(MicomLine, StatusRequestResendsTheWatchdogState)
{
    _micom->SendWDTEnable();
    ReadFrame();
    _micom->SendStatus();
    EXPECT_EQ(ReadFrame(), (Bytes { 'M', 'D', 5, 0, 0, 'M' ^ 'D' ^ 5 }));
    EXPECT_EQ(ReadFrame(), (Bytes { 'M', 'D', 3, 0, 1, 'M' ^ 'D' ^ 3 ^ 1 }));
}

TEST_F(MicomLine, NoiseBeforeAFrameIsSkipped)
{
    Bytes stream = { 'X' };
    Bytes frame = McuFrame(Micom::MICOM_CMD_VOLTAGE, 0x03, 0xE8);
    stream.insert(stream.end(), frame.begin(), frame.end());
    Send(stream);
    EXPECT_TRUE(WaitUntil([&] { return _micom->GetVoltageADValue() == 1000; }));
}

TEST_F(MicomLine, AFrameWithAWrongCheckChangesNothingAndTheNextIsRead)
{
    Bytes bad = McuFrame(Micom::MICOM_CMD_VOLTAGE, 0x03, 0xE8);
    bad[5] ^= 0x01;
    Send(bad);
    SendTemperatureAndWait(1010);
    EXPECT_EQ(_micom->GetVoltageADValue(), 0);
}

TEST_F(MicomLine, ASecondStartByteBreaksTheFrameAndItsSyncIsNotRetaken)
{
    Bytes stream = { 'H' };
    Bytes frame = McuFrame(Micom::MICOM_CMD_VOLTAGE, 0x03, 0xE8);
    stream.insert(stream.end(), frame.begin(), frame.end());
    Send(stream);
    SendTemperatureAndWait(1010);
    EXPECT_EQ(_micom->GetVoltageADValue(), 0);
}

TEST_F(MicomLine, AFrameSplitAcrossWritesIsAssembled)
{
    Bytes frame = McuFrame(Micom::MICOM_CMD_VOLTAGE, 0x02, 0x84);
    Send(Bytes(frame.begin(), frame.begin() + 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Send(Bytes(frame.begin() + 2, frame.end()));
    EXPECT_TRUE(WaitUntil([&] { return _micom->GetVoltageADValue() == 644; }));
    EXPECT_FLOAT_EQ(_micom->GetVoltage(), 12.0f);
}

TEST_F(MicomLine, StatusBitsAreStoredAndUnknownCommandsIgnored)
{
    Send(McuFrame(Micom::MICOM_CMD_ACK, 0, Micom::STATUS_ACC | Micom::STATUS_POWER_KEY));
    ASSERT_TRUE(WaitUntil([&] { return _micom->GetACCStatus(); }));
    EXPECT_TRUE(_micom->GetPowerKeyStatus());
    Send(McuFrame(0x90, 0x7F, 0x7F));
    Send(McuFrame(Micom::MICOM_CMD_KEY, 0x7F, 0x7F));
    Send(McuFrame(Micom::MICOM_CMD_ACK, 0, Micom::STATUS_POWER));
    ASSERT_TRUE(WaitUntil([&] { return !_micom->GetACCStatus(); }));
    EXPECT_FALSE(_micom->GetPowerKeyStatus());
    EXPECT_EQ(_micom->GetVoltageADValue(), 0);
}

TEST(MicomWithoutLine, CommandsAreNotSentWhenTheLineCannotBeSetUp)
{
    // /dev/ttyS1 is an empty file here: it opens, but is no terminal.
    ASSERT_TRUE(board::LayOutSysfs());
    Micom* micom = vk::Singleton<Micom>::Inst();
    micom->Init();
    EXPECT_EQ(micom->Write(reinterpret_cast<const uint8_t*>("MD"), 2), 0);
    micom->Start();
    micom->Finalize();
    uint8_t frame[6] = { 'M', 'D', 0, 0, 10, 0 };
    EXPECT_EQ(micom->Write(frame, sizeof(frame)), 0);
    EXPECT_FALSE(micom->IsPowerOn());
    EXPECT_FLOAT_EQ(micom->GetVoltage(), 0.0f);
}

TEST(MicomConversions, VoltsFromTheDefaultReferences)
{
    struct Case {
        uint16_t ad;
        float volts;
    };
    const Case cases[] = {
        { 294, 0.0f },          // below the table
        { 295, 6.0f },          // its first point
        { 644, 12.0f },         // the 12 V reference
        { 673, 12.0f + 29 / 58.0f },
        { 986, 17.0f + 56 / 57.0f },
        { 987, 18.0f },         // read from the 24 V table, joined at 18 V
        { 1000, 18.0f + 13 / 39.0f },
        { 1310, 24.0f },        // the 24 V reference
        { 1645, 29.0f + 55 / 56.0f },
        { 1646, 0.0f },         // above the table
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Micom::VoltageFromAD(c.ad, 644, 1310), c.volts, 1e-4) << "A/D " << c.ad;
}

TEST(MicomConversions, TheJoinFollowsCalibratedReferences)
{
    // 18 V reads at the 12 V reference + 343 whatever the 24 V reference.
    EXPECT_NEAR(Micom::VoltageFromAD(650 + 343, 650, 1300), 18.0f, 1e-4);
    EXPECT_NEAR(Micom::VoltageFromAD(650 + 342, 650, 1300), 17.0f + 56 / 57.0f, 1e-4);
    EXPECT_NEAR(Micom::VoltageFromAD(1300, 650, 1300), 24.0f, 1e-4);
}

TEST(MicomConversions, DegreesFromTheTable)
{
    struct Case {
        uint16_t ad;
        float celsius;
    };
    const Case cases[] = {
        { 962, 0.0f }, { 963, -10.0f }, { 1001, 0.0f }, { 1010, 9 / 3.8f },
        { 1362, 95.0f }, { 1371, 97.5f }, { 1379, 100.0f - 5 / 18.0f }, { 1380, 0.0f }, { 2000, 0.0f },
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Micom::TemperatureFromAD(c.ad), c.celsius, 1e-4) << "A/D " << c.ad;
}

TEST(MicomConversions, TruckAbove978)
{
    Micom* micom = vk::Singleton<Micom>::Inst();
    micom->micom_status.voltage = 978;
    EXPECT_FALSE(micom->IsTruck());
    micom->micom_status.voltage = 979;
    EXPECT_TRUE(micom->IsTruck());
}

} // namespace
