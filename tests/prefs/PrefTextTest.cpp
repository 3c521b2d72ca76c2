#include "PrefFixture.h"

#include <cstdlib>
#include <gmock/gmock.h>

namespace {

using namespace vk;
using testing::HasSubstr;
using testing::Not;

const char* const DEFAULT_TEXT = "[Version]\r\n"
                                 "Version = 99\r\n"
                                 "\r\n"
                                 "[Recording]\r\n"
                                 "video_size = 0\r\n"
                                 "g-sensor = 3\r\n"
                                 "mic = 1\r\n"
                                 "rear = 1\r\n"
                                 "storage = 0\r\n"
                                 "nightvision = 0\r\n"
                                 "mirror_rear = 1\r\n"
                                 "\r\n"
                                 "[Parking]\r\n"
                                 "mode = 1\r\n"
                                 "g-sensor = 2\r\n"
                                 "motion = 1\r\n"
                                 "voltage = 3\r\n"
                                 "temperature = 1\r\n"
                                 "offtimer = 0\r\n"
                                 "self_checking = 1\r\n"
                                 "\r\n"
                                 "[System]\r\n"
                                 "display = 0\r\n"
                                 "volume = 2\r\n"
                                 "voice = 1\r\n"
                                 "safety = 1\r\n"
                                 "view = 2\r\n"
                                 "language = 2\r\n"
                                 "timezone = 9\r\n"
                                 "\r\n"
                                 "[Alarm]\r\n"
                                 "use = 0\r\n"
                                 "event = 0\r\n"
                                 "motion = 0\r\n";

class PrefTextTest : public PrefTest {
protected:
    // Hands the text over as the phone app does and imports it; returns the log.
    std::string Import(const std::string& text)
    {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(pref->Save(text));
        imported = pref->LoadFromFile();
        return testing::internal::GetCapturedStdout();
    }

    bool imported = false;
};

TEST_F(PrefTextTest, DefaultsExportAsTheirText)
{
    std::string text = pref->ToString();
    EXPECT_EQ(DEFAULT_TEXT, text);
    EXPECT_EQ(389u, text.size());
}

TEST_F(PrefTextTest, AccessPointFileOfTheDefaults)
{
    std::string expected = chips::ReadFile(std::string(std::getenv("DASHREC_SOURCE_DIR")) + "/tests/prefs/apd-defaults.cfg");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected, chips::ReadFile("/tmp/apd.cfg"));
    pref->SetSSID("Road Eye");
    pref->SetPassword("k3ep-0ut!");
    pref->Save();
    std::string file = chips::ReadFile("/tmp/apd.cfg");
    EXPECT_THAT(file, HasSubstr("\nssid=Road Eye\nwpa_passphrase=k3ep-0ut!\nwpa=2\n"));
}

TEST_F(PrefTextTest, ImportOfTheExportChangesNothingButTheAccessPoint)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->SetTimezone(-3);
    pref->SetVoltage(PARKING::VOLTAGE::V11_8);
    pref->SetWiFiOn();
    pref->SetSSID("Other-Name");
    std::string before = pref->ToString();
    std::string log = Import(before);
    EXPECT_TRUE(imported);
    EXPECT_THAT(log, HasSubstr("[Pref]Loading from file successful"));
    EXPECT_THAT(log, Not(HasSubstr("unknown key")));
    EXPECT_EQ(before, pref->ToString());
    EXPECT_TRUE(pref->IsWiFiOn());
    EXPECT_EQ("ZR5120", pref->GetSSID()) << "the export carries no name, so the default returns";
    EXPECT_EQ(SYSTEM::LANGUAGE::ENGLISH, pref->GetLanguage());

    Init();
    EXPECT_EQ(before, pref->ToString()) << "and the import was saved";
}

TEST_F(PrefTextTest, MissingKeysTakeTheirDefaults)
{
    pref->SetParkingGsensorSensitivity(PARKING::GSENSOR::LEVEL_5);
    pref->SetOffTimer(PARKING::OFFTIMER::H48);
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    Import("[version]\nVERSION = 99\n[PARKING]\nMode = 0\n");
    EXPECT_TRUE(imported);
    EXPECT_FALSE(pref->IsParkingModeOn());
    EXPECT_FALSE(pref->GetTempParkingMode());
    EXPECT_EQ(PARKING::GSENSOR::LEVEL_3, pref->GetParkingGsensorSensitivity());
    EXPECT_EQ(PARKING::OFFTIMER::H3, pref->GetOffTimer());
    EXPECT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage());
}

TEST_F(PrefTextTest, WifiSettingsFromThePhone)
{
    Import("[Version]\nVersion = 99\n[System]\nssid = Family Car\npassword = sunny-day-42\n"
           "language = 1\n");
    EXPECT_TRUE(imported);
    EXPECT_EQ("Family Car", pref->GetSSID());
    EXPECT_EQ("sunny-day-42", pref->GetPassword());
    EXPECT_THAT(chips::ReadFile("/tmp/apd.cfg"), HasSubstr("\nssid=Family Car\nwpa_passphrase=sunny-day-42\n"));
}

TEST_F(PrefTextTest, TextSavedForImportIsLoggedWithoutThePassphrase)
{
    std::string log = Import("[Version]\nVersion = 99\n[System]\nssid = Family Car\npassword = sunny-day-42\n");
    EXPECT_THAT(log, HasSubstr("[Pref]App changes save file"));
    EXPECT_THAT(log, HasSubstr("ssid = Family Car"));
    EXPECT_THAT(log, Not(HasSubstr("sunny-day-42")));
    EXPECT_EQ("sunny-day-42", pref->GetPassword());

    log = Import("[Version]\nVersion = 99\n[System]\nPassword: rainy-day-42\n");
    EXPECT_THAT(log, Not(HasSubstr("rainy-day-42")));
    EXPECT_EQ("rainy-day-42", pref->GetPassword());
}

// What a log may show of a settings text: only the passphrase's value goes,
// whatever the line ends; any other text stays byte for byte.
TEST(PrefLogForm, HidesOnlyThePassphrasesValue)
{
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        { "[System]\r\nssid = Car\r\npassword = abcdefgh\r\nvolume = 2\r\n",
          "[System]\r\nssid = Car\r\npassword = ********\r\nvolume = 2\r\n" },
        { "[System]\rPassword:abcdefgh\rvolume=1", "[System]\rPassword: ********\rvolume=1" },
        { "  PASSWORD = abcdefgh\n", "  PASSWORD = ********\n" },
        { "password = abc\n  defgh\n\n  ijk\nvolume = 1\n", "password = ********\nvolume = 1\n" },
        { "passwords = kept\n", "passwords = kept\n" },
        { "NORM240131-120000F.MP4,EVEN240131-120000R.MP4", "NORM240131-120000F.MP4,EVEN240131-120000R.MP4" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Pref::WithoutPassphrase(c.text), c.shown) << c.text;
}

TEST_F(PrefTextTest, BadValuesAreRefusedOneByOne)
{
    pref->SetVolume(SYSTEM::VOLUME::LEVEL_4);
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->SetTemperature(PARKING::TEMPERATURE::T80);
    pref->SetPassword("old-secret");
    std::string log = Import("[Version]\nVersion = 99\n"
                             "[Recording]\nmic = 0\nbrightness = 4\n"
                             "[Parking]\ntemperature = 4\n"
                             "[System]\nvolume = -1\nlanguage = two\nview = 1\n"
                             "password = short\n");
    EXPECT_TRUE(imported);
    EXPECT_THAT(log, HasSubstr("[Pref]unknown key Recording.brightness ignored"));
    EXPECT_THAT(log, HasSubstr("[Pref]Parking.temperature = 4 refused, kept 3"));
    EXPECT_THAT(log, HasSubstr("[Pref]System.volume = -1 refused, kept 4"));
    EXPECT_THAT(log, HasSubstr("[Pref]System.language = two refused, kept 1"));
    EXPECT_THAT(log, HasSubstr("[Pref]System.password = ******** refused, kept the old one"));
    EXPECT_EQ(SYSTEM::VOLUME::LEVEL_4, pref->GetVolume());
    EXPECT_EQ(SYSTEM::LANGUAGE::ENGLISH, pref->GetLanguage());
    EXPECT_EQ(PARKING::TEMPERATURE::T80, pref->GetTemperature());
    EXPECT_EQ("old-secret", pref->GetPassword());
    EXPECT_FALSE(pref->IsMicOn()) << "the good values are taken";
    EXPECT_EQ(SYSTEM::VIEW::REAR, pref->GetView());
}

TEST_F(PrefTextTest, PassphraseWithALineBreakIsRefused)
{
    pref->SetPassword("old-secret");
    for (const char* text : { "[Version]\nVersion = 99\n[System]\npassword = abcdefgh\n  wpa=1\n",
             "[Version]\nVersion = 99\n[System]\npassword = abcdefgh\npassword = ijklmnop\n" }) {
        Import(text);
        EXPECT_EQ("old-secret", pref->GetPassword()) << text;
        EXPECT_THAT(chips::ReadFile("/tmp/apd.cfg"), HasSubstr("\nwpa_passphrase=old-secret\nwpa=2\n"));
    }
}

TEST_F(PrefTextTest, TextsThatCannotBeTakenChangeNothing)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    pref->Save();
    const std::vector<unsigned char> stored = Eeprom();
    std::string whole = pref->ToString();
    const struct {
        std::string text;
        const char* logged;
    } cases[] = {
        { whole.substr(0, 200), "line 18 unreadable, nothing imported" }, // cut inside "[System]"
        { whole.substr(0, 60), "unreadable, nothing imported" },
        { "[Version]\nVersion = 98\n[System]\nlanguage = 0\n", "[Pref]current ver:99, saved ver:98 mismatched" },
        { "[System]\nlanguage = 0\n", "[Pref]current ver:99, saved ver:0 mismatched" },
        { "", "[Pref]current ver:99, saved ver:0 mismatched" },
    };
    for (const auto& c : cases) {
        std::string log = Import(c.text);
        EXPECT_FALSE(imported) << c.text;
        EXPECT_THAT(log, HasSubstr(c.logged)) << c.text;
        EXPECT_EQ(SYSTEM::LANGUAGE::ENGLISH, pref->GetLanguage());
        EXPECT_EQ(stored, Eeprom()) << "nothing saved";
    }
}

TEST_F(PrefTextTest, MissingImportFileChangesNothing)
{
    testing::internal::CaptureStdout();
    EXPECT_FALSE(pref->LoadFromFile());
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("[Pref]/tmp/_user.ini not found, error"));
}

} // namespace
