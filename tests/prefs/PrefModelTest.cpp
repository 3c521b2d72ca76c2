#include "PrefFixture.h"

#include "bmworks/bmworks.h"
#include "mpp_comm/mpp_comm_sys.h"
#include "mpp_comm/soc_isp.h"

#include <gmock/gmock.h>

namespace {

using namespace vk;
using testing::HasSubstr;

TEST_F(PrefTest, FreshStoreAnswersWithTheDefaults)
{
    EXPECT_TRUE(pref->IsMicOn());
    EXPECT_TRUE(pref->IsRearCameraOn());
    EXPECT_EQ(RECORDING::VIDEO_SIZE::WQHD, pref->GetVideoSize());
    EXPECT_EQ(SYSTEM::LANGUAGE::KOREAN, pref->GetLanguage());
    EXPECT_EQ(9, pref->GetTimezone());
    EXPECT_EQ(10800, pref->GetOffTimerValue());
    EXPECT_FLOAT_EQ(12.2f, pref->GetVoltageValue());
    EXPECT_FLOAT_EQ(70.0f, pref->GetTemperatureValue());
    EXPECT_FLOAT_EQ(0.9f, pref->GetNormalGsensorValue());
    EXPECT_FLOAT_EQ(0.21f, pref->GetParkingGsensorValue());
    EXPECT_EQ(2, pref->GetMotionSensitivityValue());
    EXPECT_FALSE(pref->GetSecurity());
    EXPECT_TRUE(pref->DoesLockPinMatch("7294"));
    EXPECT_FALSE(pref->DoesLockPinMatch("729"));
    EXPECT_FALSE(pref->IsWiFiOn());
    EXPECT_EQ("ZR5120", pref->GetSSID());
    EXPECT_EQ("48150726", pref->GetPassword());
    EXPECT_EQ(SYSTEM::BOOT_MODE::MAX, pref->GetBootStatus());
    int box[4] = {};
    pref->GetLcdCalibrationData(&box[0], &box[1], &box[2], &box[3]);
    EXPECT_THAT(box, testing::ElementsAre(320, 228, 3953, 3881));
}

TEST_F(PrefTest, ValueTablesFollowTheStoredChoice)
{
    const float driving[] = { 100.0f, 1.2f, 1.0f, 0.9f, 0.8f, 0.7f };
    for (int level = 0; level < RECORDING::GSENSOR::MAX; ++level) {
        pref->SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE(level));
        EXPECT_FLOAT_EQ(driving[level], pref->GetNormalGsensorValue()) << level;
    }
    const float parked[] = { 0.3f, 0.25f, 0.21f, 0.205f, 0.2f };
    for (int level = 0; level < PARKING::GSENSOR::MAX; ++level) {
        pref->SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE(level));
        EXPECT_FLOAT_EQ(parked[level], pref->GetParkingGsensorValue()) << level;
    }
    const float volts[] = { 11.0f, 11.8f, 12.0f, 12.2f, 12.4f };
    for (int level = 0; level < PARKING::VOLTAGE::MAX; ++level) {
        pref->SetVoltage(PARKING::VOLTAGE::VALUE(level));
        EXPECT_FLOAT_EQ(volts[level], pref->GetVoltageValue()) << level;
    }
    const float celsius[] = { 60.0f, 70.0f, 75.0f, 80.0f };
    for (int level = 0; level < PARKING::TEMPERATURE::MAX; ++level) {
        pref->SetTemperature(PARKING::TEMPERATURE::VALUE(level));
        EXPECT_FLOAT_EQ(celsius[level], pref->GetTemperatureValue()) << level;
    }
    const int64_t seconds[] = { 10800, 21600, 43200, 86400, 172800 };
    for (int level = 0; level < PARKING::OFFTIMER::MAX; ++level) {
        pref->SetOffTimer(PARKING::OFFTIMER::VALUE(level));
        EXPECT_EQ(seconds[level], pref->GetOffTimerValue()) << level;
    }
    const int motion[] = { 3, 2, 1 };
    for (int level = 0; level < PARKING::MOTION::MAX; ++level) {
        pref->SetMotionSensitivity(PARKING::MOTION::VALUE(level));
        EXPECT_EQ(motion[level], pref->GetMotionSensitivityValue()) << level;
    }
}

TEST_F(PrefTest, ExposureReachesTheImagePipeline)
{
    ASSERT_EQ(0, mpp_comm_sys_init());
    ASSERT_EQ(0, SOC_MPI_ISP_Init());
    const int brightness[] = { -30, 0, 30 };
    for (int ev = 0; ev < RECORDING::EV::MAX; ++ev) {
        pref->SetEV(RECORDING::EV::VALUE(ev));
        pref->WriteIsp();
        EXPECT_EQ(brightness[ev], BmWorks::Inst()->GetBrightness()) << ev;
    }
    pref->LoadDefault();
    EXPECT_EQ(0, BmWorks::Inst()->GetBrightness()) << "the default exposure is applied";
}

TEST_F(PrefTest, FrameSizesAndRates)
{
    EXPECT_EQ(30, pref->GetParkingFps());
    pref->SetParkingModeOff();
    EXPECT_EQ(0, pref->GetParkingFps());
    EXPECT_EQ(30, pref->GetFps());

    pref->SetVideoSize(RECORDING::VIDEO_SIZE::HD);
    EXPECT_EQ(720, pref->GetFrontCameraResolutionHeight());
    EXPECT_EQ("hd", pref->GetFrontCameraResolutionHeightString());
    EXPECT_EQ(1080, pref->GetRearCameraResolutionHeight());
    EXPECT_EQ("fhd", pref->GetRearCameraResolutionHeightString());
    EXPECT_EQ(1440, Pref::GetResolutionHeight(RECORDING::VIDEO_SIZE::WQHD));
    EXPECT_EQ(720, Pref::GetResolutionHeight(RECORDING::VIDEO_SIZE::MAX));
    EXPECT_EQ("hd", Pref::GetResolutionHeightString(RECORDING::VIDEO_SIZE::MAX));
}

TEST_F(PrefTest, AccessPointTextsUnsafeForItsFileOrAShellAreRefused)
{
    const struct {
        const char* text;
        bool ssid;
        bool password;
    } cases[] = {
        { "Car-Cam 01", true, true },
        { "12345", true, false }, // five characters: a name, too short a passphrase
        { "1234", false, false },
        { "abcdefgh", true, true },
        { "abcdefghijklmno", true, true }, // 15 characters fill the field
        { "abcdefghijklmnop", false, false },
        { "abcd\nefgh", false, false },
        { "abcd\"efgh", false, false },
        { "abcd'efgh", false, false },
        { "abcd\\efgh", false, false },
        { "abcd`efgh`", false, false },
        { "abcd$(reboot)", false, false },
        { "caf\xc3\xa9-cam", false, false },
        { nullptr, false, false },
    };
    for (const auto& c : cases) {
        std::string oldSsid = pref->GetSSID();
        std::string oldPassword = pref->GetPassword();
        EXPECT_EQ(c.ssid, pref->SetSSID(c.text)) << (c.text ? c.text : "null");
        EXPECT_EQ(c.password, pref->SetPassword(c.text)) << (c.text ? c.text : "null");
        EXPECT_EQ(c.ssid ? c.text : oldSsid, pref->GetSSID());
        EXPECT_EQ(c.password ? c.text : oldPassword, pref->GetPassword());
    }
}

TEST_F(PrefTest, RefusedPassphraseNeverReachesTheLog)
{
    testing::internal::CaptureStdout();
    pref->SetPassword("secret\nwpa=1");
    pref->SetPassword("secret1");
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_THAT(log, HasSubstr("passphrase refused"));
    EXPECT_THAT(log, testing::Not(HasSubstr("secret")));
}

TEST_F(PrefTest, SecurityWithoutPinChangesOnlyTheSwitch)
{
    pref->SetSecurity(SYSTEM::SECURITY::ON, nullptr);
    EXPECT_TRUE(pref->GetSecurity());
    EXPECT_TRUE(pref->DoesLockPinMatch("7294"));
    pref->SetSecurity(SYSTEM::SECURITY::OFF, "1234");
    EXPECT_FALSE(pref->GetSecurity());
    EXPECT_TRUE(pref->DoesLockPinMatch("1234"));
}

TEST_F(PrefTest, ParkingAlarmCountsAreKeptOnlyBySaving)
{
    const size_t ALARM_USE = 188;
    pref->IncreaseEventRecording();
    pref->ResetParkingAlarmCount();
    pref->IncreaseMotionRecording();
    pref->IncreaseEventRecording();
    pref->IncreaseEventRecording();
    EXPECT_TRUE(pref->IsParkingAlarmUsed());
    EXPECT_EQ(1, pref->MotionCounterInParking());
    EXPECT_EQ(2, pref->EventCounterInParking());
    EXPECT_EQ(0, Eeprom()[ALARM_USE]) << "counting does not save";

    pref->Save();
    EXPECT_EQ(1, Eeprom()[ALARM_USE]);
    pref->ResetUseParkingAlarm();
    EXPECT_FALSE(pref->IsParkingAlarmUsed());
    EXPECT_EQ(0, pref->EventCounterInParking());
    EXPECT_EQ(0, pref->MotionCounterInParking());
    EXPECT_EQ(0, Eeprom()[ALARM_USE]) << "the reset is saved";
}

TEST_F(PrefTest, MotionSensitivityIsHandedOnAfterEveryChange)
{
    EXPECT_FALSE(pref->needMotionSensitivity());
    pref->alreadySetMotionSensitivity();
    EXPECT_TRUE(pref->needMotionSensitivity());
    pref->SetMotionSensitivity(PARKING::MOTION::LEVEL_3);
    EXPECT_FALSE(pref->needMotionSensitivity());
}

TEST_F(PrefTest, PendingChoicesThatNeedAFormatOrAReboot)
{
    pref->SetTempValues();
    EXPECT_FALSE(pref->FormatNeeded());
    EXPECT_FALSE(pref->RebootNeeded());

    pref->SetTempStorage(RECORDING::STORAGE::SDCARD);
    pref->SetTempNightvision(RECORDING::NIGHTVISION::ON);
    EXPECT_FALSE(pref->FormatNeeded()) << "storage and night vision need no format";
    EXPECT_TRUE(pref->RebootNeeded());

    pref->SetTempVideoSize(RECORDING::VIDEO_SIZE::FHD);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(pref->FormatNeeded());
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_THAT(log, HasSubstr("Parking mode:1, Temp Parking mode:1\r\n"));
    EXPECT_THAT(log, HasSubstr("Video size:wqhd, Temp Video size:fhd\r\n"));
    EXPECT_THAT(log, HasSubstr("longtime:0, Temp:0\r\n"));

    pref->SetTempValues();
    pref->SetTempParkingMode(PARKING::MODE::OFF);
    EXPECT_TRUE(pref->FormatNeeded());
}

using PrefDeathTest = PrefTest;

TEST_F(PrefDeathTest, ProgrammingErrorsStillEndTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    pref->SetTimezone(-12);
    pref->SetTimezone(12);
    EXPECT_EXIT(pref->SetTimezone(13), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(pref->SetSecurity(SYSTEM::SECURITY::ON, "12345"), testing::ExitedWithCode(0), "");
}

} // namespace
