// Backup media on loop-device images: measuring, the FAT test, and formatting
// with the real cardform and mkfs.vfat, judged by fsck.fat.

#include "CardHelpers.h"

#include "dashrec/core/SdCard.h"
#include "dashrec/core/UsbMemory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <sys/stat.h>
#include <thread>

namespace {

using vk::SdCard;
using vk::UsbMemory;

std::string ShimLog()
{
    return std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log";
}

class BackupMedia : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The layout tool is found on PATH, as on the board.
        std::string path = media::Built("cardform") + ":" + std::getenv("PATH");
        setenv("PATH", path.c_str(), 1);
    }

    // A program of the given name, first on PATH, that prints `text` and exits with `status`.
    void ReplaceProgram(const std::string& name, const std::string& text, int status)
    {
        mkdir("/tmp/fake", 0755);
        FILE* script = std::fopen(("/tmp/fake/" + name).c_str(), "w");
        std::fprintf(script, "#!/bin/sh\necho '%s'\nexit %d\n", text.c_str(), status);
        std::fclose(script);
        chmod(("/tmp/fake/" + name).c_str(), 0755);
        setenv("PATH", (std::string("/tmp/fake:") + std::getenv("PATH")).c_str(), 1);
    }
};

TEST_F(BackupMedia, SizesAndTheFatTest)
{
    const struct {
        int mib;
        int total;
    } sizes[] = { { 300, 0 }, { 472, 472 }, { 7580, 7580 } };
    UsbMemory* stick = UsbMemory::Inst();
    EXPECT_EQ(stick->IsIn(), 0);
    EXPECT_EQ(stick->TotalSpace(), 0);
    EXPECT_FALSE(stick->IsFat());
    for (const auto& s : sizes) {
        ASSERT_TRUE(media::Insert("usb", "/tmp/usb.img", s.mib));
        EXPECT_EQ(stick->IsIn(), 1);
        EXPECT_EQ(stick->TotalSpace(), s.total) << s.mib;
        EXPECT_FALSE(stick->IsFat()) << "a blank stick";
        ASSERT_EQ(media::Card("detach usb"), 0);
    }
    EXPECT_EQ(stick->MarginSpace(), 100);
    EXPECT_EQ(SdCard::Inst()->RecommandedTotalSpace(), 8192);
}

TEST_F(BackupMedia, FormatLaysOutAndMakesAFileSystemThatFsckAccepts)
{
    ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
    SdCard* card = SdCard::Inst();
    EXPECT_TRUE(card->IsFormatNeeded());

    std::future<bool> formatted = std::async(std::launch::async, [card] { return card->Format(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(card->IsIn(), -1) << "a format holds the medium";
    ASSERT_TRUE(formatted.get());
    EXPECT_FALSE(card->IsFormatNeeded());
    EXPECT_TRUE(card->IsFat());
    EXPECT_NE(media::ReadFile(ShimLog()).find("partprobe /dev/mmcblk1\n"), std::string::npos);
    EXPECT_EQ(media::Run("fsck.fat -n /dev/mmcblk1p1 > /tmp/fsck.txt 2>&1"), 0) << media::ReadFile("/tmp/fsck.txt");
    EXPECT_EQ(media::Run("MTOOLS_SKIP_CHECK=1 mlabel -s -i /dev/mmcblk1p1 | grep -q BACKUP"), 0);

    card->Mount();
    card->MakeDirectories();
    for (const char* folder : { "NORMAL", "EVENT", "MANUAL", "PARKING" }) {
        struct stat info {};
        EXPECT_EQ(stat((std::string("/tmp/sd/") + folder).c_str(), &info), 0) << folder;
    }
    EXPECT_GT(card->FreeSpace(), 500);
    card->Unmount();
    EXPECT_EQ(media::Run("MTOOLS_SKIP_CHECK=1 mdir -i /dev/mmcblk1p1 ::/PARKING > /dev/null"), 0)
        << "the folders reached the card";
}

TEST_F(BackupMedia, AFailingStepFailsTheFormat)
{
    UsbMemory* stick = UsbMemory::Inst();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(stick->Format()) << "no stick: the layout tool fails";
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("partprobe starts"), std::string::npos) << "nothing after a failed layout";

    ASSERT_TRUE(media::Insert("usb", "/tmp/usb.img", 600));
    ReplaceProgram("cardform", "Cardform::ForceFlush() OK", 0);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(stick->Format()) << "no \"Write OK\" after the flush line";
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("}Cardform::ForceFlush() OK"), std::string::npos) << "the captured text is logged";

    ReplaceProgram("cardform", "Cardform::ForceFlush() OK\nWrite OK", 0);
    ReplaceProgram("mkfs.vfat", "mkfs.fat: unable to open /dev/sda1", 1);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(stick->Format());
    out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[UsbMemory]format /dev/sda1 failure"), std::string::npos) << out;
}

} // namespace
