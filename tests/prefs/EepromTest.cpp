#include "ChipFiles.h"

#include "dashrec/devices/Eeprom.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

vk::Eeprom* Eeprom()
{
    return vk::Singleton<vk::Eeprom>::Inst();
}

// A pattern that tells every byte's address apart within 2048 bytes.
std::vector<unsigned char> Pattern(size_t size)
{
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
    return bytes;
}

std::string ProbeLog()
{
    testing::internal::CaptureStdout();
    Eeprom()->Init();
    return testing::internal::GetCapturedStdout();
}

struct ChipCase {
    const char* model;
    size_t size;
    const char* detected;
    int descriptors;
};

void PrintTo(const ChipCase& c, std::ostream* out)
{
    *out << c.model;
}

class EepromChipTest : public testing::TestWithParam<ChipCase> {
protected:
    void SetUp() override { chips::UseBoard(std::string("/dev/i2c-2 ") + GetParam().model + "\n"); }
};

TEST_P(EepromChipTest, ProbeFindsTheChipAndOpensItsDescriptors)
{
    std::string log = ProbeLog();
    EXPECT_THAT(log, HasSubstr(GetParam().detected));
    size_t opened = 0;
    for (size_t at = log.find("Device Bus = /dev/i2c-2"); at != std::string::npos; at = log.find("Device Bus", at + 1))
        ++opened;
    EXPECT_EQ(size_t(GetParam().descriptors), opened);
}

TEST_P(EepromChipTest, ReadsWholeBlocksAndTheRestOfTheLast)
{
    std::vector<unsigned char> memory = Pattern(GetParam().size);
    chips::SetBytes(GetParam().model, memory);
    ASSERT_TRUE(Eeprom()->Init());
    for (int len : { 512, 300, 2048, 1 }) {
        std::vector<unsigned char> buf(2048, 0xAA);
        ASSERT_TRUE(Eeprom()->Read(buf.data(), len)) << len;
        EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + len, memory.begin())) << len;
        if (len < 2048) {
            EXPECT_EQ(0xAA, buf[len]) << "no byte beyond the length: " << len;
        }
    }
}

TEST_P(EepromChipTest, WritesLandAtTheirAddressesAndLeaveTheRest)
{
    ASSERT_TRUE(Eeprom()->Init());
    std::vector<unsigned char> data = Pattern(2048);
    ASSERT_TRUE(Eeprom()->Write(data.data(), 512));
    std::vector<unsigned char> memory = chips::Bytes(GetParam().model);
    ASSERT_EQ(GetParam().size, memory.size());
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 512, memory.begin()));
    EXPECT_EQ(0xFF, memory[512]) << "blank behind the written bytes";

    EXPECT_TRUE(Eeprom()->Write(data.data(), 2048));
    std::vector<unsigned char> back(2048);
    ASSERT_TRUE(Eeprom()->Read(back.data(), 2048));
    EXPECT_EQ(data, back);
}

TEST_P(EepromChipTest, RefusesTransfersAboveTwoKilobytes)
{
    ASSERT_TRUE(Eeprom()->Init());
    std::vector<unsigned char> buf(4096);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Eeprom()->Read(buf.data(), 2049));
    EXPECT_FALSE(Eeprom()->Write(buf.data(), 2049 + 15));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("Read Error...Size too big. data_size = 2049 / 2048"));
    EXPECT_TRUE(chips::Bytes(GetParam().model).empty()) << "nothing reached the chip";
}

TEST_P(EepromChipTest, TransientNaksAreAbsorbedAndFiveFailuresAreNot)
{
    ASSERT_TRUE(Eeprom()->Init());
    std::vector<unsigned char> data = Pattern(256);
    chips::Refuse(GetParam().model, 4);
    EXPECT_TRUE(Eeprom()->Write(data.data(), 256));
    chips::Refuse(GetParam().model, 4);
    std::vector<unsigned char> back(256);
    EXPECT_TRUE(Eeprom()->Read(back.data(), 256));
    EXPECT_EQ(data, back);

    chips::Refuse(GetParam().model, 5);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Eeprom()->Read(back.data(), 256));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("Read Error...Retry=5"));
}

INSTANTIATE_TEST_SUITE_P(Chips, EepromChipTest,
    testing::Values(ChipCase { "24lc16", 2048, "[Eeprom] 24LC16 detected.", 8 },
        ChipCase { "at24cs32", 4096, "[Eeprom] AT24CS32 detected.", 1 }),
    [](const testing::TestParamInfo<ChipCase>& info) { return std::string("chip_") + info.param.model; });

TEST(EepromAbsent, SilentChipIsTakenForAnAt24cs32WhoseReadsFail)
{
    chips::UseBoard("/dev/i2c-2 isl1208\n");
    EXPECT_THAT(ProbeLog(), HasSubstr("[Eeprom] AT24CS32 detected."));
    std::vector<unsigned char> buf(512);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Eeprom()->Read(buf.data(), 512));
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("Eeprom_at24cs32 Read Error...Retry=5"));
}

TEST(EepromAbsent, WithoutTheBusNothingIsTried)
{
    chips::UseBoard("");
    std::string log = ProbeLog();
    EXPECT_THAT(log, HasSubstr("[Eeprom] /dev/i2c-2 can't be opened"));
    std::vector<unsigned char> buf(512);
    EXPECT_FALSE(Eeprom()->Read(buf.data(), 512));
    EXPECT_FALSE(Eeprom()->Write(buf.data(), 512));
}

} // namespace
