// The card log's copy to a backup SD card, and the check that mounts the
// recording card when its "SYSTEM/" folder is missing.

#include "CardFixture.h"
#include "CardHelpers.h"

#include "dashrec/core/CLogger.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"

#include <gtest/gtest.h>

namespace {

// A card with one FAT32 (LBA) partition from sector 2048 to its end (1,226,752
// sectors), blank but for the given folder.
bool InsertFatCard(const std::string& folder)
{
    return media::Insert("sd", "/tmp/sd.img", 600)
        && media::Run("printf '\\x00\\x00\\x00\\x00\\x0c' | dd of=/tmp/sd.img bs=1 seek=446 conv=notrunc status=none") == 0
        && media::Run("printf '\\x00\\x08\\x00\\x00\\x00\\xb8\\x12\\x00' | dd of=/tmp/sd.img bs=1 seek=454 conv=notrunc status=none") == 0
        && media::Run("printf '\\x55\\xaa' | dd of=/tmp/sd.img bs=1 seek=510 conv=notrunc status=none") == 0
        && media::Run("partprobe /dev/mmcblk1 && mkfs.vfat -F 32 /dev/mmcblk1p1 > /dev/null") == 0
        && (folder.empty() || media::Run("MTOOLS_SKIP_CHECK=1 mmd -i /dev/mmcblk1p1 ::/" + folder + " 2>/dev/null") == 0);
}

class CardLogCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixture::MakeRingFile(fixture::LOG_FILE);
        fixture::MakeRingFile(fixture::COUNTER_FILE);
        vk::SDDebug::Inst()->Init();
        vk::SDDebug::Inst()->Start();
        vk::SDDebug::Inst()->Print("[Test]line for the copy\n");
    }
};

TEST_F(CardLogCopy, WithoutACardNothingIsFlushedOrCopied)
{
    vk::SDDebug::Inst()->CopyHistory();
    EXPECT_EQ(fixture::ReadAt<int32_t>(fixture::LOG_FILE, 0), 0) << "the block was flushed";
    EXPECT_NE(access("/tmp/history.txt", F_OK), 0);
}

TEST_F(CardLogCopy, TheFlushedLogReachesTheBackupCard)
{
    ASSERT_TRUE(InsertFatCard(""));
    vk::SdCard* card = vk::SdCard::Inst();
    card->Mount();
    vk::SDDebug::Inst()->CopyHistory();
    EXPECT_EQ(fixture::ReadAt<int32_t>(fixture::LOG_FILE, 0), vk::CLogger::SYNC);
    EXPECT_EQ(media::Run("cmp -s /tmp/sd/TMP.DM1 " + fixture::LOG_FILE), 0);
    card->Unmount();
    EXPECT_EQ(media::Run("MTOOLS_SKIP_CHECK=1 mcopy -n -i /dev/mmcblk1p1 ::/TMP.DM1 /tmp/copied 2>/dev/null"), 0);
    EXPECT_EQ(media::Run("cmp -s /tmp/copied " + fixture::LOG_FILE), 0) << "the copy reached the card's image";
}

TEST(CardCheck, AMissingSystemFolderMountsTheRecordingCard)
{
    vk::Pref::Inst()->SetSdCardRecording();
    vk::SDDebug* log = vk::SDDebug::Inst();
    log->Init();
    mkdir("/mnt/extsd", 0755);
    ASSERT_TRUE(InsertFatCard("SYSTEM"));
    ::testing::internal::CaptureStdout();
    log->CheckFiles();
    log->Print("[Test]after the check\n");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("_writable == false"), std::string::npos) << out;
    EXPECT_EQ(media::Run("umount /mnt/extsd"), 0);
}

} // namespace
