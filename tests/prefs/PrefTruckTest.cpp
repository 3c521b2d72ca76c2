// The cut-off voltage follows the vehicle the MCU reports: a 24 V truck gets the 24 V table.

#include "PrefFixture.h"

#include "dashrec/devices/Micom.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"

#include <chrono>
#include <thread>

namespace {

using namespace vk;

class PrefTruckTest : public PrefTest {
protected:
    void SetUp() override
    {
        PrefTest::SetUp();
        ASSERT_TRUE(board::LayOutSysfs());
        ASSERT_TRUE(line.Bind("/dev/ttyS1"));
        micom->Init();
        micom->Start();
    }

    void TearDown() override { micom->Finalize(); }

    // Reports the supply's A/D value as the MCU does and waits until the link has taken it.
    void ReportVoltageAd(uint16_t ad)
    {
        uint8_t frame[] = { 'H', 'L', Micom::MICOM_CMD_VOLTAGE, uint8_t(ad >> 8), uint8_t(ad & 0xFF), 0 };
        frame[5] = frame[0] ^ frame[1] ^ frame[2] ^ frame[3] ^ frame[4];
        ASSERT_EQ(ssize_t(sizeof(frame)), line.Write(frame, sizeof(frame)));
        for (int i = 0; i < 300 && micom->GetVoltageADValue() != ad; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(ad, micom->GetVoltageADValue());
    }

    board::PtyLine line;
    Micom* micom = Singleton<Micom>::Inst();
};

TEST_F(PrefTruckTest, CutOffFollowsTheVehicleVoltage)
{
    const float car[] = { 11.0f, 11.8f, 12.0f, 12.2f, 12.4f };
    const float truck[] = { 22.0f, 23.6f, 24.0f, 24.4f, 24.8f };
    for (uint16_t ad : { 978, 979 }) {
        ReportVoltageAd(ad);
        const float* expected = ad > 978 ? truck : car;
        for (int level = 0; level < PARKING::VOLTAGE::MAX; ++level) {
            pref->SetVoltage(PARKING::VOLTAGE::VALUE(level));
            EXPECT_FLOAT_EQ(expected[level], pref->GetVoltageValue()) << "A/D " << ad << ", level " << level;
        }
    }
}

} // namespace
