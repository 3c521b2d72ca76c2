#include "PrefFixture.h"

#include <cstring>
#include <gmock/gmock.h>

namespace {

using namespace vk;
using testing::HasSubstr;
using testing::Not;

int32_t Word(const std::vector<unsigned char>& bytes, size_t offset)
{
    int32_t word = 0;
    std::memcpy(&word, bytes.data() + offset, sizeof(word));
    return word;
}

void SetWord(std::vector<unsigned char>& bytes, size_t offset, int32_t word)
{
    std::memcpy(bytes.data() + offset, &word, sizeof(word));
}

// Recomputes the CRC: the record is intact, whatever it holds.
void Reseal(std::vector<unsigned char>& bytes)
{
    SetWord(bytes, 200, int32_t(Pref::CalcCRC32(bytes.data(), 200)));
}

bool SealedRecord(const std::vector<unsigned char>& bytes)
{
    return uint32_t(Word(bytes, 200)) == Pref::CalcCRC32(bytes.data(), 200);
}

TEST(PrefCrc, IsTheCrc32OfIeee8023)
{
    EXPECT_EQ(0xCBF43926u, Pref::CalcCRC32("123456789", 9));
    unsigned int first = Pref::CalcCRC32("12345", 5);
    EXPECT_EQ(0xCBF43926u, Pref::CalcCRC32(first, "6789", 4)) << "a CRC continues";
}

TEST_F(PrefTest, BlankEepromGetsTheDefaultsAndKeepsTheCalibrationArea)
{
    chips::UseBoard("/dev/i2c-2 24lc16\n");
    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("[Pref]current ver:99, saved ver:-1 mismatched, Load default"));
    EXPECT_THAT(log, HasSubstr("[Pref]12V, 24V AD calib invalid"));
    std::vector<unsigned char> stored = Eeprom();
    EXPECT_EQ(99, Word(stored, 0));
    EXPECT_TRUE(SealedRecord(stored));
    EXPECT_EQ(0, Word(stored, 72)) << "Wi-Fi off";
    EXPECT_STREQ("ZR5120", reinterpret_cast<const char*>(&stored[116]));
    EXPECT_TRUE(std::all_of(stored.begin() + 204, stored.begin() + 256, [](unsigned char b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(stored.begin() + 256, stored.end(), [](unsigned char b) { return b == 0xFF; }))
        << "the calibration area and beyond are not written";
    unsigned short reference = 1;
    EXPECT_FALSE(pref->GetRef12VoltValue(reference));
    EXPECT_EQ(0, reference);
}

TEST_F(PrefTest, SavedPreferencesSurviveARestart)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->SetParkingModeOff();
    pref->SetTimezone(-5);
    pref->SetSSID("my-dashcam");
    pref->SetWiFiOn();
    pref->Save();
    pref->SetLanguage(SYSTEM::LANGUAGE::JAPANESE);
    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("[Pref]Loading successful, CRC:0x"));
    EXPECT_EQ(SYSTEM::LANGUAGE::ENGLISH, pref->GetLanguage());
    EXPECT_FALSE(pref->IsParkingModeOn());
    EXPECT_EQ(-5, pref->GetTimezone());
    EXPECT_EQ("my-dashcam", pref->GetSSID());
    EXPECT_FALSE(pref->IsWiFiOn()) << "the access point is off after every start";
}

TEST_F(PrefTest, AFlippedBitAnywhereInTheRecordFallsBackToDefaults)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->Save();
    const std::vector<unsigned char> good = Eeprom();
    for (size_t byte = 0; byte < 204; ++byte) {
        std::vector<unsigned char> bad = good;
        bad[byte] ^= static_cast<unsigned char>(1 << (byte % 8));
        chips::SetBytes(EEPROM, bad);
        pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
        Init();
        ASSERT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage()) << "byte " << byte;
    }
    std::vector<unsigned char> padding = good;
    padding[230] = 0x5A;
    chips::SetBytes(EEPROM, padding);
    Init();
    EXPECT_EQ(SYSTEM::LANGUAGE::ENGLISH, pref->GetLanguage()) << "the padding is not guarded";
}

TEST_F(PrefTest, CalibrationSurvivesSavesAndResets)
{
    pref->SetRef12VoltValue(644);
    pref->SetRef24VoltValue(1310);
    std::vector<unsigned char> stored = Eeprom();
    EXPECT_EQ(int32_t(0xFACEFACE), Word(stored, 256));
    EXPECT_TRUE(std::all_of(stored.begin() + 272, stored.begin() + 512, [](unsigned char b) { return b == 0; }));

    pref->Save();
    pref->LoadDefault();
    EXPECT_TRUE(std::equal(stored.begin() + 256, stored.end(), Eeprom().begin() + 256));
    Init();
    unsigned short reference = 0;
    EXPECT_TRUE(pref->GetRef12VoltValue(reference));
    EXPECT_EQ(644, reference);
    EXPECT_TRUE(pref->GetRef24VoltValue(reference));
    EXPECT_EQ(1310, reference);
}

TEST_F(PrefTest, OnlyTheTwentyFourVoltReferenceSet)
{
    pref->SetRef24VoltValue(1300);
    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("[Pref]12V AD calib invalid"));
    EXPECT_THAT(log, Not(HasSubstr("24V AD calib invalid")));
    unsigned short reference = 0;
    EXPECT_FALSE(pref->GetRef12VoltValue(reference));
    EXPECT_TRUE(pref->GetRef24VoltValue(reference));
    EXPECT_EQ(1300, reference);
}

TEST_F(PrefTest, NarrowTouchBoxIsResetAndSaved)
{
    pref->SetLcdCalibrationData(300, 200, 556, 3000);
    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("Touch Cal. : default set"));
    int box[4] = {};
    pref->GetLcdCalibrationData(&box[0], &box[1], &box[2], &box[3]);
    EXPECT_THAT(box, testing::ElementsAre(320, 228, 3953, 3881));
    EXPECT_EQ(3953, Word(Eeprom(), 180));

    pref->SetLcdCalibrationData(300, 200, 557, 457);
    Init();
    pref->GetLcdCalibrationData(&box[0], &box[1], &box[2], &box[3]);
    EXPECT_THAT(box, testing::ElementsAre(300, 200, 557, 457));
}

// A record this program wrote under another version, or a chip that lost a
// text's end, must not end the program at every start.
TEST_F(PrefTest, SealedRecordWithUnusableValuesIsRepairedAndSaved)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->SetTimezone(3);
    pref->Save();
    std::vector<unsigned char> bad = Eeprom();
    SetWord(bad, 92, 7); // language
    SetWord(bad, 164, 40); // timezone
    SetWord(bad, 24, -1); // ev
    std::memset(&bad[116], 'A', 16); // ssid without its end
    std::memcpy(&bad[132], "pass\nword", 10); // passphrase with a line break
    Reseal(bad);
    chips::SetBytes(EEPROM, bad);

    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("[Pref]stored System language:7 out of range, default 2"));
    EXPECT_THAT(log, HasSubstr("[Pref]stored System timezone:40 out of range, default 9"));
    EXPECT_THAT(log, HasSubstr("[Pref]stored ssid invalid, default set"));
    EXPECT_THAT(log, HasSubstr("[Pref]stored password invalid, default set"));
    EXPECT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage());
    EXPECT_EQ(9, pref->GetTimezone());
    EXPECT_EQ(RECORDING::EV::LEVEL_2, pref->GetEV());
    EXPECT_EQ("ZR5120", pref->GetSSID());
    EXPECT_EQ("48150726", pref->GetPassword());
    EXPECT_EQ(9, Word(Eeprom(), 164)) << "the repaired record is saved";
    EXPECT_TRUE(SealedRecord(Eeprom()));
    EXPECT_THAT(Init(), Not(HasSubstr("out of range"))) << "and loads cleanly the next time";
}

TEST_F(PrefTest, UnreadableEepromUsesDefaults)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->Save();
    chips::Refuse(EEPROM, -1);
    std::string log = Init();
    EXPECT_THAT(log, HasSubstr("[Pref]EEPROM READ ERROR!! load default"));
    EXPECT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage());
}

TEST_F(PrefTest, DefaultsKeepTheRecordingMedium)
{
    pref->SetSdCardRecording();
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->LoadDefault();
    EXPECT_FALSE(pref->IsInternalStorageUsed());
    EXPECT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage());
}

} // namespace
