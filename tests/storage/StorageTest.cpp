// Presence tests, the card-detect node, the layout check through Cardform on a
// card that cardform wrote, and the card's wear limit.

#include "CardHelpers.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/Storage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

using vk::Storage;

const char* FrontSizeWord(int height)
{
    return height == 1440 ? "wqhd" : height == 1080 ? "fhd" : "hd";
}

// cardform as the launcher runs it for the sizes the preferences ask for; the
// alternative parking layout the recorder checks for is selected only among
// three options.
std::string LayOutForPreferences(const std::string& device)
{
    vk::Pref* pref = vk::Pref::Inst();
    return media::Built("cardform/cardform") + " " + device + " " + FrontSizeWord(pref->GetFrontCameraResolutionHeight())
        + " fhd " + std::to_string(pref->GetFps()) + " " + std::to_string(pref->GetParkingFps()) + " sd sd mstar > /tmp/cardform.txt";
}

std::string CheckDeviceOutput(bool& result)
{
    ::testing::internal::CaptureStdout();
    result = Storage::Inst()->CheckDevice();
    return ::testing::internal::GetCapturedStdout();
}

TEST(Storage, CardWrittenByCardformVerifiesWithThePreferencesSizes)
{
    vk::Pref::Inst()->SetSdCardRecording();
    ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 8192));
    ASSERT_EQ(media::Run(LayOutForPreferences("/dev/mmcblk1")), 0) << media::ReadFile("/tmp/cardform.txt");
    const std::string rule(55, '=');

    bool verified = false;
    std::string out = CheckDeviceOutput(verified);
    EXPECT_TRUE(verified);
    EXPECT_NE(out.find(rule + "\n               Verify OK, FileSystem:0C\n" + rule + "\n"), std::string::npos) << out;
    EXPECT_FALSE(Storage::Inst()->IsInvalidFileSystem());
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Storage::Inst()->IsLifeTimeOut());
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("CurrentCycles=0, MaxLifeCycles="), std::string::npos) << out;
    EXPECT_NE(out.find("Blocks=16777216"), std::string::npos) << "the checked card's size is kept";

    // A smaller front picture needs other file sizes: the card must be formatted again.
    vk::Pref::Inst()->SetVideoSize(vk::RECORDING::VIDEO_SIZE::HD);
    out = CheckDeviceOutput(verified);
    EXPECT_FALSE(verified);
    EXPECT_NE(out.find(rule + "\n              Verify FAIL, FileSystem:0C\n" + rule + "\n"), std::string::npos) << out;
}

TEST(Storage, TheEmmcPartitionVerifiesWithItsOwnLayout)
{
    vk::Pref::Inst()->SetInternalStorageRecording();
    ASSERT_TRUE(media::Insert("emmc", "/tmp/emmc.img", 8192));
    EXPECT_TRUE(Storage::Inst()->DoesDeviceExist());
    // One option "emmc": the eMMC layout with the alternative parking layout.
    ASSERT_EQ(media::Run(media::Built("cardform/cardform") + " /dev/mmcblk0p1 wqhd fhd 30 30 emmc > /tmp/cardform.txt"), 0);
    bool verified = false;
    std::string out = CheckDeviceOutput(verified);
    EXPECT_TRUE(verified) << out;
    EXPECT_TRUE(Storage::Inst()->IsInvalidFileSystem()) << "the eMMC records";
    EXPECT_FALSE(Storage::Inst()->IsLifeTimeOut());
}

TEST(Storage, MediaArePresentOnlyAsBlockDevices)
{
    Storage* storage = Storage::Inst();
    vk::Pref::Inst()->SetSdCardRecording();
    EXPECT_FALSE(storage->IsSdCardInserted());
    EXPECT_FALSE(storage->DoesDeviceExist());
    bool verified = true;
    CheckDeviceOutput(verified);
    EXPECT_FALSE(verified) << "no card";
    EXPECT_TRUE(storage->IsInvalidFileSystem());
    EXPECT_FALSE(storage->IsWritable());

    ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
    ASSERT_TRUE(media::Insert("usb", "/tmp/usb.img", 600));
    EXPECT_TRUE(storage->IsSdCardInserted());
    EXPECT_TRUE(storage->DoesDeviceExist());
    EXPECT_TRUE(storage->IsUsbMemoryInserted());
    EXPECT_TRUE(storage->IsWritable());

    ASSERT_EQ(media::Card("detach usb"), 0);
    EXPECT_FALSE(storage->IsUsbMemoryInserted());

    vk::Pref::Inst()->SetInternalStorageRecording();
    EXPECT_EQ(storage->CurrentPartition(), "/dev/mmcblk0p1");
    EXPECT_FALSE(storage->DoesDeviceExist()) << "no eMMC partition";
    EXPECT_TRUE(storage->IsInvalidFileSystem()) << "the eMMC records";
    EXPECT_FALSE(storage->IsLifeTimeOut());
}

TEST(Storage, CardDetectNode)
{
    Storage* storage = Storage::Inst();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(storage->IsSdCardDetected());
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("/sys/sdcard0/detect not exists\r\n"), std::string::npos);

    mkdir("/sys/sdcard0", 0755);
    for (const auto& [text, detected] : { std::pair { "1\n", true }, { "0\n", false }, { "x", false } }) {
        FILE* node = std::fopen("/sys/sdcard0/detect", "w");
        std::fputs(text, node);
        std::fclose(node);
        EXPECT_EQ(storage->IsSdCardDetected(), detected) << text;
    }
}

TEST(Storage, LifeTimeTable)
{
    const struct {
        int records;
        int64_t blocks;
        int cycles;
        bool over;
        const char* line;
    } cases[] = {
        { 600, 15523840, 175, false, "CurrentCycles=175, MaxLifeCycles=175, LifeTime=1750, NormalRecords=600, Blocks=15523840" },
        { 600, 15523840, 176, true, "MaxLifeCycles=175" },
        { 29, 15523840, 100000, false, "Too small NormalRecords=29" },
        { 30, 14999999, 100000, false, "Too small Blocks=14999999" },
        { 1000, 27500000, 210, false, "MaxLifeCycles=210, LifeTime=3500" },
        { 1000, 54999999, 211, true, "MaxLifeCycles=210" },
        { 1000, 55000000, 420, false, "MaxLifeCycles=420" },
        { 1000, 110000000, 841, true, "MaxLifeCycles=840" },
        { 1000, 219999999, 840, false, "MaxLifeCycles=840" },
        { 1000, 220000000, 1680, false, "MaxLifeCycles=1680, LifeTime=28000" },
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Storage::IsLifeTimeOut(c.records, c.blocks, c.cycles), c.over) << c.line;
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.line), std::string::npos) << out;
    }
}

} // namespace
